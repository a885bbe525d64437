#include "vosquin/ImageNaming.h"

#include <cstdio>

#include "vosquin/CReleaseQueue.h"
#include "vosquin/ComboModel.h"

namespace zelmora::vosquin {

namespace {

std::string fourDigits(std::uint32_t number) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04u", number);
    return buf;
}

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// Older bodies write the earlier RAW format, ".CRW".
bool writesCrw(const std::string& model) {
    return contains(model, "10D") || contains(model, "DIGITAL REBEL") || contains(model, "300D") ||
           contains(model, "D60");
}

}  // namespace

NamedImage nameDownload(const NamingRequest& r) {
    NamedImage out;
    const std::string number = fourDigits(r.number);
    if (r.focusMode) {
        const std::string base =
            r.keepFocusImages ? withSeparator(r.recordFolder) : withSeparator(r.focusFolder);
        out.folder = base + "FocusImages";
        // A thumbnail of the frame lies beside it and never takes the frame's name.
        out.path = out.folder + "/" + (r.kind == 16 ? "THM_" : "") +
                   (r.keepFocusImages ? number : std::string()) + "Focus.jpg";
        out.replaces = !r.keepFocusImages;
        return out;
    }
    std::string prefix;
    std::string extension = "JPG";
    switch (r.kind) {
        case 16:
            prefix = "THM_";
            break;
        case 32:
            if (r.format != 1) {
                extension = writesCrw(r.model) ? "CRW" : "CR2";
                out.logLine = "Setting RAW type to " + extension;
            }
            break;
        case 80:
            break;
        default:
            if (r.format != 1) extension = "DAT";
            break;
    }
    out.folder = withSeparator(r.recordFolder);
    out.path = out.folder + prefix + r.stem + number + "." + extension;
    if (!out.folder.empty()) out.folder.pop_back();
    return out;
}

std::string numberedName(const std::string& path, int n) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart) dot = path.size();
    return path.substr(0, dot) + "_" + std::to_string(n) + path.substr(dot);
}

std::string developedName(const std::string& rawPath) {
    const std::size_t slash = rawPath.find_last_of('/');
    const std::size_t dot = rawPath.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    const std::string extension = rawPath.substr(dot);
    if (!equalsIgnoringCase(extension, ".CRW") && !equalsIgnoringCase(extension, ".CR2")) return {};
    return rawPath.substr(0, dot) + ".jpg";
}

}  // namespace zelmora::vosquin
