#include "widgets/program_info.h"

namespace program_info {

QString ApplicationTitle() {
    return QStringLiteral("Frameloop");
}

std::array<unsigned, 4> VersionParts() {
    return {FRAMELOOP_VERSION_MAJOR, FRAMELOOP_VERSION_MINOR, FRAMELOOP_VERSION_PATCH,
            FRAMELOOP_VERSION_TWEAK};
}

QString VersionLine() {
    const auto parts = VersionParts();
    return QStringLiteral("%1 Version %2.%3.%4.%5")
        .arg(ApplicationTitle())
        .arg(parts[0])
        .arg(parts[1])
        .arg(parts[2])
        .arg(parts[3]);
}

QString LegalLine() {
    return QStringLiteral("Copyright (C) 2026 The Frameloop developers. Free software, "
                          "distributed without any warranty.");
}

QString WebsiteText() {
    return QStringLiteral("frameloop.example.org");
}
QString WebsiteAddress() {
    return QStringLiteral("https://frameloop.example.org/");
}
QString SupportText() {
    return QStringLiteral("support@frameloop.example.org");
}
QString SupportAddress() {
    return QStringLiteral("mailto:support@frameloop.example.org");
}

} // namespace program_info
