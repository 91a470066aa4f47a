#include "DiscWords.hpp"

#include <QLocale>

#include <cmath>

using Queltburner::DiscState;

QString ReadableBytes(std::uint64_t Bytes) {
    return QLocale::c().formattedDataSize(static_cast<qint64>(Bytes), 1, QLocale::DataSizeSIFormat);
}

QString DiscLine(int Result, const Queltburner::DiscReport& Disc) {
    if (Result != Queltburner::ResultSuccess) {
        const System::UnicodeString& Reason =
            Disc.Reason.empty() ? Queltburner::ResultText(Result) : Disc.Reason;
        return QStringLiteral("Not known: %1").arg(ToQString(Reason));
    }
    const QString Medium = Disc.Medium.empty() ? QStringLiteral("disc") : ToQString(Disc.Medium);
    switch (Disc.State) {
    case DiscState::NoDisc:
        return QStringLiteral("No disc in the drive");
    case DiscState::NotADisc:
        return QStringLiteral("Not a disc: the drive holds something else");
    case DiscState::Blank:
        return QStringLiteral("Blank %1, %2 free").arg(Medium, ReadableBytes(Disc.FreeBytes));
    case DiscState::Appendable:
        return QStringLiteral("%1 with %2 %3 (\"%4\"), %5 free")
            .arg(Medium)
            .arg(Disc.Sessions)
            .arg(Disc.Sessions == 1 ? QStringLiteral("session") : QStringLiteral("sessions"))
            .arg(ToQString(Disc.Label), ReadableBytes(Disc.FreeBytes));
    case DiscState::Closed:
        return QStringLiteral("Closed %1 (\"%2\"): nothing can be added")
            .arg(Medium, ToQString(Disc.Label));
    }
    return {};
}

QString TimeLeft(double Seconds) {
    const long long Whole = std::llround(Seconds);
    return QStringLiteral("%1:%2 left").arg(Whole / 60).arg(Whole % 60, 2, 10, QLatin1Char('0'));
}
