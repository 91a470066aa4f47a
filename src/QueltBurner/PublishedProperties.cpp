// The published properties of TQueltBurner, in declared order, so that form data can store and
// load the component's settings.
#include "QueltBurner.hpp"

#include <limits>

namespace Queltburner {

namespace {

using System::UnicodeString;
using System::Typinfo::TPropInfo;
using System::Typinfo::TTypeKind;

const TQueltBurner& Burner(const System::TObject& Object) {
    return static_cast<const TQueltBurner&>(Object);
}
TQueltBurner& Burner(System::TObject& Object) {
    return static_cast<TQueltBurner&>(Object);
}

template <typename T>
TPropInfo Ordinal(UnicodeString Name, TTypeKind Kind, UnicodeString TypeName,
                  std::optional<std::int64_t> Default, T (TQueltBurner::*Get)() const noexcept,
                  void (TQueltBurner::*Set)(T) noexcept) {
    TPropInfo Info;
    Info.Name = std::move(Name);
    Info.Kind = Kind;
    Info.TypeName = std::move(TypeName);
    Info.Default = Default;
    Info.MinValue = static_cast<std::int64_t>(std::numeric_limits<T>::min());
    Info.MaxValue = static_cast<std::int64_t>(std::numeric_limits<T>::max());
    Info.GetOrd = [Get](const System::TObject& O) {
        return static_cast<std::int64_t>((Burner(O).*Get)());
    };
    Info.SetOrd = [Set](System::TObject& O, std::int64_t Value) {
        (Burner(O).*Set)(static_cast<T>(Value));
    };
    return Info;
}

TPropInfo Boolean(UnicodeString Name, std::optional<bool> Default,
                  bool (TQueltBurner::*Get)() const noexcept,
                  void (TQueltBurner::*Set)(bool) noexcept) {
    TPropInfo Info =
        Ordinal<bool>(std::move(Name), TTypeKind::Boolean, u"Boolean", Default, Get, Set);
    Info.EnumNames = {u"False", u"True"};
    return Info;
}

TPropInfo String(UnicodeString Name, const UnicodeString& (TQueltBurner::*Get)() const noexcept,
                 void (TQueltBurner::*Set)(const UnicodeString&)) {
    TPropInfo Info;
    Info.Name = std::move(Name);
    Info.Kind = TTypeKind::UString;
    Info.TypeName = u"UnicodeString";
    Info.GetStr = [Get](const System::TObject& O) { return (Burner(O).*Get)(); };
    Info.SetStr = [Set](System::TObject& O, const UnicodeString& Value) {
        (Burner(O).*Set)(Value);
    };
    return Info;
}

template <typename Event>
TPropInfo Method(UnicodeString Name, UnicodeString TypeName,
                 const Event& (TQueltBurner::*Get)() const noexcept,
                 void (TQueltBurner::*Set)(Event)) {
    TPropInfo Info;
    Info.Name = std::move(Name);
    Info.Kind = TTypeKind::Method;
    Info.TypeName = std::move(TypeName);
    Info.IsAssigned = [Get](const System::TObject& O) {
        return static_cast<bool>((Burner(O).*Get)());
    };
    Info.AcceptsHandler = [](const std::any& Handler) {
        return std::any_cast<Event>(&Handler) != nullptr;
    };
    Info.SetMethod = [Set](System::TObject& O, const std::any& Handler) {
        const auto* Bound = std::any_cast<Event>(&Handler);
        if (Bound == nullptr) {
            return false;
        }
        (Burner(O).*Set)(*Bound);
        return true;
    };
    return Info;
}

System::Typinfo::TPropList MakePublishedProperties() {
    System::Typinfo::TPropList List;
    List.push_back(String(u"Artist", &TQueltBurner::Artist, &TQueltBurner::SetArtist));
    List.push_back(Ordinal<int>(u"ContinueSession", TTypeKind::Integer, u"Integer",
                                Initial::ContinueSession, &TQueltBurner::ContinueSession,
                                &TQueltBurner::SetContinueSession));
    List.push_back(String(u"Title", &TQueltBurner::Title, &TQueltBurner::SetTitle));
    TPropInfo Files;
    Files.Name = u"Files";
    Files.Kind = TTypeKind::Strings;
    Files.TypeName = u"TStrings";
    Files.GetStrings = [](const System::TObject& O) -> const System::Classes::TStrings* {
        return Burner(O).Files();
    };
    Files.SetStrings = [](System::TObject& O, const System::Classes::TStrings& Value) {
        Burner(O).SetFiles(const_cast<System::Classes::TStrings*>(&Value));
    };
    List.push_back(std::move(Files));
    List.push_back(
        String(u"VolumeLabel", &TQueltBurner::VolumeLabel, &TQueltBurner::SetVolumeLabel));
    List.push_back(Ordinal<std::uint16_t>(u"Speed", TTypeKind::Integer, u"Word", std::nullopt,
                                          &TQueltBurner::Speed, &TQueltBurner::SetSpeed));
    List.push_back(Boolean(u"DisableEject", std::nullopt, &TQueltBurner::DisableEject,
                           &TQueltBurner::SetDisableEject));
    List.push_back(Boolean(u"UnderrunProtection", std::nullopt, &TQueltBurner::UnderrunProtection,
                           &TQueltBurner::SetUnderrunProtection));
    List.push_back(Boolean(u"DetectNonEmptyDisk", std::nullopt, &TQueltBurner::DetectNonEmptyDisk,
                           &TQueltBurner::SetDetectNonEmptyDisk));
    List.push_back(
        Boolean(u"Verify", std::nullopt, &TQueltBurner::Verify, &TQueltBurner::SetVerify));
    List.push_back(
        Boolean(u"SpeedTest", std::nullopt, &TQueltBurner::SpeedTest, &TQueltBurner::SetSpeedTest));
    List.push_back(Boolean(u"Tao", std::nullopt, &TQueltBurner::Tao, &TQueltBurner::SetTao));
    List.push_back(Boolean(u"ForceEraseDisk", std::nullopt, &TQueltBurner::ForceEraseDisk,
                           &TQueltBurner::SetForceEraseDisk));
    List.push_back(Boolean(u"CloseSession", std::nullopt, &TQueltBurner::CloseSession,
                           &TQueltBurner::SetCloseSession));
    List.push_back(Boolean(u"DVD", Initial::Switch, &TQueltBurner::DVD, &TQueltBurner::SetDVD));
    TPropInfo DiskType =
        Ordinal<TDiskType>(u"DiskType", TTypeKind::Enumeration, u"TDiskType", Initial::DiskType,
                           &TQueltBurner::DiskType, &TQueltBurner::SetDiskType);
    DiskType.EnumNames = {u"dtData", u"dtAudio", u"dtVideo", u"dtSuperVideo", u"dtDVDVideo"};
    DiskType.MaxValue = dtDVDVideo;
    List.push_back(std::move(DiskType));
    List.push_back(Boolean(u"Synchronous", Initial::Switch, &TQueltBurner::Synchronous,
                           &TQueltBurner::SetSynchronous));
    List.push_back(Boolean(u"HideNeroCmd", Initial::Switch, &TQueltBurner::HideNeroCmd,
                           &TQueltBurner::SetHideNeroCmd));
    List.push_back(Boolean(u"ShowMessages", Initial::ShowMessages, &TQueltBurner::ShowMessages,
                           &TQueltBurner::SetShowMessages));
    List.push_back(Ordinal<std::uint32_t>(u"Timeout", TTypeKind::Integer, u"Cardinal",
                                          Initial::Timeout, &TQueltBurner::Timeout,
                                          &TQueltBurner::SetTimeout));
    List.push_back(Method<TErrorEvent>(u"OnError", u"TErrorEvent", &TQueltBurner::OnError,
                                       &TQueltBurner::SetOnError));
    List.push_back(Method<System::Classes::TNotifyEvent>(
        u"OnSuccess", u"TNotifyEvent", &TQueltBurner::OnSuccess, &TQueltBurner::SetOnSuccess));
    List.push_back(Method<TProgressEvent>(u"OnProgress", u"TProgressEvent",
                                          &TQueltBurner::OnProgress, &TQueltBurner::SetOnProgress));
    List.push_back(Method<TOutputEvent>(u"OnOutput", u"TOutputEvent", &TQueltBurner::OnOutput,
                                        &TQueltBurner::SetOnOutput));
    return List;
}

} // namespace

UnicodeString TQueltBurner::ClassName() const {
    return u"TQueltBurner";
}

const System::Typinfo::TPropList& TQueltBurner::PublishedProperties() const {
    static const System::Typinfo::TPropList Properties = MakePublishedProperties();
    return Properties;
}

} // namespace Queltburner
