#include "ImapiDisc.hpp"

#include "ComObjects.hpp"
#include "ImapiMedia.hpp"

#include <windows.h>

#include <ntddcdrm.h>

#include <cstdint>
#include <cwctype>
#include <optional>
#include <string>
#include <string_view>

namespace Queltburner::Win32 {

namespace {

// E_IMAPI_RECORDER_MEDIA_NO_MEDIA: the recorder has no disc in it.
constexpr HRESULT NoMediaResult = static_cast<HRESULT>(0xC0AA0202UL);

std::optional<wchar_t> DriveLetter(System::WideChar Drive) {
    if (Drive >= u'a' && Drive <= u'z') {
        return static_cast<wchar_t>(Drive - u'a' + u'A');
    }
    if (Drive >= u'A' && Drive <= u'Z') {
        return static_cast<wchar_t>(Drive);
    }
    return std::nullopt;
}

System::UnicodeString Unicode(const std::wstring& Text) {
    return {Text.begin(), Text.end()};
}

System::UnicodeString Unicode(std::string_view Text) {
    return {Text.begin(), Text.end()};
}

// An HRESULT as Windows shows it, 0x and eight hexadecimal digits.
System::UnicodeString ResultText(HRESULT Result) {
    constexpr char16_t Digits[] = u"0123456789ABCDEF";
    System::UnicodeString Text = u"0x00000000";
    auto Value = static_cast<std::uint32_t>(Result);
    for (std::size_t Index = Text.size(); Value != 0; Value >>= 4U) {
        Text[--Index] = Digits[Value & 0xFU];
    }
    return Text;
}

DiscReport Unanswered(QueryStatus Status, const char* Why, std::optional<HRESULT> Result) {
    DiscReport Report;
    Report.Status = Status;
    Report.Reason = Unicode(Why);
    if (Result) {
        Report.Reason += u" (" + ResultText(*Result) + u")";
    }
    return Report;
}

DiscReport EmptyDrive() {
    DiscReport Report;
    Report.Status = QueryStatus::Answered;
    Report.State = DiscState::NoDisc;
    return Report;
}

// An empty drive's root makes Windows ask the user to insert a disc unless the thread says
// otherwise: a query must answer, not wait for a dialog.
class QuietDriveErrors {
public:
    QuietDriveErrors() { SetThreadErrorMode(SEM_FAILCRITICALERRORS, &FPrevious); }
    QuietDriveErrors(const QuietDriveErrors&) = delete;
    QuietDriveErrors& operator=(const QuietDriveErrors&) = delete;
    QuietDriveErrors(QuietDriveErrors&&) = delete;
    QuietDriveErrors& operator=(QuietDriveErrors&&) = delete;
    ~QuietDriveErrors() { SetThreadErrorMode(FPrevious, nullptr); }

private:
    DWORD FPrevious = 0;
};

// The bytes the file system on the disc takes: the used space of a disc no writer accepts.
std::uint64_t FileSystemBytes(wchar_t Letter) {
    const wchar_t Root[] = {Letter, L':', L'\\', L'\0'};
    const QuietDriveErrors Quiet;
    ULARGE_INTEGER Total{};
    return GetDiskFreeSpaceExW(Root, nullptr, &Total, nullptr) ? Total.QuadPart : 0;
}

// The disc's complete sessions from its table of contents; 0 when it cannot be read.
std::uint32_t CompleteSessions(wchar_t Letter) {
    const wchar_t Device[] = {L'\\', L'\\', L'.', L'\\', Letter, L':', L'\0'};
    HANDLE Drive = CreateFileW(Device, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (Drive == INVALID_HANDLE_VALUE) {
        return 0;
    }
    CDROM_READ_TOC_EX Request{};
    Request.Format = CDROM_READ_TOC_EX_FORMAT_SESSION;
    CDROM_TOC_SESSION_DATA Sessions{};
    DWORD Got = 0;
    const BOOL Read = DeviceIoControl(Drive, IOCTL_CDROM_READ_TOC_EX, &Request, sizeof Request,
                                      &Sessions, sizeof Sessions, &Got, nullptr);
    CloseHandle(Drive);
    // The four header bytes hold the session numbers.
    return Read && Got >= 4 ? Sessions.LastCompleteSession : 0;
}

// True when the recorder's volume paths ("E:\", or a folder it is mounted in) name the drive.
bool ServesDrive(const DispatchObject& Recorder, wchar_t Letter) {
    OwnedVariant Paths;
    if (FAILED(Recorder.Read(L"VolumePathNames", *Paths.Get()))) {
        return false;
    }
    bool Serves = false;
    ForEachElement(*Paths.Get(), [&](const VARIANT& Path) {
        const std::wstring Text = VariantText(Path);
        Serves =
            Serves || (Text.size() >= 2 && std::towupper(Text[0]) == Letter && Text[1] == L':');
    });
    return Serves;
}

// The recorder behind the drive letter among those IMAPI2 knows; Found stays false when none is.
HRESULT FindRecorder(const DispatchObject& Master, wchar_t Letter, DispatchObject& Recorder,
                     bool& Found) {
    LONG Count = 0;
    const HRESULT Counted = Master.ReadLong(L"Count", Count);
    if (FAILED(Counted)) {
        return Counted;
    }
    for (LONG Index = 0; Index < Count && !Found; ++Index) {
        OwnedVariant Id;
        if (FAILED(Master.Read(L"Item", *Id.Get(), {LongArgument(Index)})) ||
            Id.Get()->vt != VT_BSTR) {
            continue;
        }
        DispatchObject Candidate;
        const HRESULT Created = Candidate.Create(L"IMAPI2.MsftDiscRecorder2");
        if (FAILED(Created)) {
            return Created;
        }
        // A recorder that cannot be opened (in use, going away) is not the one asked about.
        OwnedVariant Ignored;
        if (FAILED(Candidate.Read(L"InitializeDiscRecorder", *Ignored.Get(),
                                  {TextArgument(Id.Get()->bstrVal)}))) {
            continue;
        }
        if (ServesDrive(Candidate, Letter)) {
            Recorder = std::move(Candidate);
            Found = true;
        }
    }
    return S_OK;
}

// True when the drive reports a current profile: a disc is in it, even one of no known type.
bool HasCurrentProfile(const DispatchObject& Recorder) {
    OwnedVariant Profiles;
    return SUCCEEDED(Recorder.Read(L"CurrentProfiles", *Profiles.Get())) &&
           ForEachElement(*Profiles.Get(), [](const VARIANT&) {}) > 0;
}

DiscReport ReadMedium(const DispatchObject& Writer, const DispatchObject& Recorder,
                      wchar_t Letter) {
    LONG Type = 0;
    const HRESULT Typed = Writer.ReadLong(L"CurrentPhysicalMediaType", Type);
    if (Typed == NoMediaResult || ((FAILED(Typed) || Type == 0) && !HasCurrentProfile(Recorder))) {
        return EmptyDrive();
    }
    DiscReport Report;
    Report.Status = QueryStatus::Answered;
    Report.Medium = SUCCEEDED(Typed) ? ImapiMediumName(Type) : System::UnicodeString();

    OwnedVariant Supported;
    const bool Writable = SUCCEEDED(Writer.Read(L"IsCurrentMediaSupported", *Supported.Get(),
                                                {ObjectArgument(Recorder.Get())})) &&
                          Supported.Get()->vt == VT_BOOL &&
                          Supported.Get()->boolVal != VARIANT_FALSE;
    if (Writable) {
        LONG Status = 0;
        const HRESULT Stated = Writer.ReadLong(L"CurrentMediaStatus", Status);
        if (Stated == NoMediaResult) {
            return EmptyDrive();
        }
        if (FAILED(Stated)) {
            return Unanswered(QueryStatus::Failed, "IMAPI2 cannot read the state of the disc",
                              Stated);
        }
        bool Blank = false;
        (void)Writer.ReadBool(L"MediaHeuristicallyBlank", Blank);
        Report.State = ImapiDiscState(static_cast<std::uint32_t>(Status), Blank);
        LONG Total = 0;
        LONG Free = 0;
        (void)Writer.ReadLong(L"TotalSectorsOnMedia", Total);
        (void)Writer.ReadLong(L"FreeSectorsOnMedia", Free);
        const DiscSpace Space = ImapiDiscSpace(Total, Free);
        Report.UsedBytes = Space.UsedBytes;
        Report.FreeBytes = Space.FreeBytes;
    } else {
        // A disc the data writer does not take: pressed or closed if its type is known, else
        // something that is no disc the service can tell.
        Report.State = Report.Medium.empty() ? DiscState::NotADisc : DiscState::Closed;
        Report.UsedBytes = FileSystemBytes(Letter);
    }
    if (Report.State != DiscState::Blank && Report.State != DiscState::NotADisc) {
        Report.Sessions = CompleteSessions(Letter);
        Report.Label = VolumeName(static_cast<System::WideChar>(Letter));
    }
    return Report;
}

} // namespace

System::UnicodeString VolumeName(System::WideChar Drive) {
    const std::optional<wchar_t> Letter = DriveLetter(Drive);
    if (!Letter) {
        return {};
    }
    const wchar_t Root[] = {*Letter, L':', L'\\', L'\0'};
    wchar_t Name[MAX_PATH + 1] = {};
    const QuietDriveErrors Quiet;
    if (!GetVolumeInformationW(Root, Name, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0)) {
        return {};
    }
    return Unicode(std::wstring(Name));
}

DiscReport DescribeDiscThroughImapi(System::WideChar Drive) {
    const std::optional<wchar_t> Letter = DriveLetter(Drive);
    if (!Letter) {
        return Unanswered(QueryStatus::Failed, "not a drive letter", std::nullopt);
    }
    const ComApartment Apartment;
    if (!Apartment.Usable()) {
        return Unanswered(QueryStatus::NotAvailable, "COM cannot start on this thread",
                          Apartment.Result());
    }
    DispatchObject Master;
    const HRESULT Created = Master.Create(L"IMAPI2.MsftDiscMaster2");
    if (FAILED(Created)) {
        return Unanswered(QueryStatus::NotAvailable,
                          "the system's burning service (IMAPI2) is not installed", Created);
    }
    DispatchObject Recorder;
    bool Found = false;
    const HRESULT Searched = FindRecorder(Master, *Letter, Recorder, Found);
    if (FAILED(Searched)) {
        return Unanswered(QueryStatus::Failed, "IMAPI2 cannot list the disc recorders", Searched);
    }
    if (!Found) {
        return Unanswered(QueryStatus::Failed, "IMAPI2 knows no disc recorder for this drive",
                          std::nullopt);
    }
    DispatchObject Writer;
    const HRESULT WriterCreated = Writer.Create(L"IMAPI2.MsftDiscFormat2Data");
    if (FAILED(WriterCreated)) {
        return Unanswered(QueryStatus::NotAvailable, "IMAPI2 has no data writer", WriterCreated);
    }
    const HRESULT Attached = Writer.Write(L"Recorder", ObjectArgument(Recorder.Get()));
    if (Attached == NoMediaResult) {
        return EmptyDrive();
    }
    if (FAILED(Attached)) {
        return Unanswered(QueryStatus::Failed, "IMAPI2 cannot use the drive's recorder", Attached);
    }
    return ReadMedium(Writer, Recorder, *Letter);
}

} // namespace Queltburner::Win32
