// The component's answers in words a window shows, and its strings as Qt's.
#pragma once

#include <QueltBurner.hpp>

#include <QString>

#include <cstdint>

inline QString ToQString(const System::UnicodeString& Text) {
    return QString::fromStdU16String(Text);
}

inline System::UnicodeString FromQString(const QString& Text) {
    return Text.toStdU16String();
}

// "703.1 MB", in the decimal units disc makers use.
QString ReadableBytes(std::uint64_t Bytes);

// What is in the drive: "blank virtual CD, 737.3 MB free", "appendable DVD+RW, 2 sessions,
// 4.1 GB free", "no disc", or why it is not known.
QString DiscLine(int Result, const Queltburner::DiscReport& Disc);

// "0:42 left" for the seconds still to go.
QString TimeLeft(double Seconds);
