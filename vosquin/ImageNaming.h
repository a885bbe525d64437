#pragma once

#include <cstdint>
#include <string>

namespace zelmora::vosquin {

// What decides the name of a downloaded image.
struct NamingRequest {
    bool focusMode = false;
    bool keepFocusImages = false;
    std::string recordFolder;  // the save folder when the image was reported
    std::string focusFolder;   // the host's focus-frame folder
    std::string stem;          // the host's file-name stem
    std::string model;         // the camera's model text
    std::uint32_t number = 0;
    std::uint32_t kind = 0;
    std::uint8_t format = 0;
};

struct NamedImage {
    std::string path;
    std::string folder;   // the folder the file goes into (to create when missing)
    std::string logLine;  // "Setting RAW type to ..." for a RAW picture, else ""
    // The one name reused on purpose: the focus frame (and its thumbnail) while
    // frames are not kept is replaced frame after frame. Every other download keeps
    // what it finds there.
    bool replaces = false;
};

// The file name of one download:
//   focus mode, keeping frames: <record folder>FocusImages/<nnnn>Focus.jpg
//   focus mode, not keeping:    <focus folder>FocusImages/Focus.jpg
//   (a thumbnail in focus mode: the same with "THM_" before the file name)
//   thumbnail (16):             <record folder>THM_<stem><nnnn>.JPG
//   picture (32):               <record folder><stem><nnnn>.JPG, or .CRW / .CR2 for RAW
//   second picture (80):        <record folder><stem><nnnn>.JPG
//   anything else:              <record folder><stem><nnnn>.JPG, or .DAT when not JPEG
// <nnnn> is the image number with at least four digits. The camera's numbering
// restarts, so the name may be taken already: see freeName.
NamedImage nameDownload(const NamingRequest& request);

// The name with "_1", "_2", ... before the extension (in the file name, not the
// folder): the candidates for a download whose name is taken.
std::string numberedName(const std::string& path, int n);

// The JPEG a RAW file develops to: the final ".CRW" or ".CR2" (any case) of the name
// becomes ".jpg". "" when the name has no such extension, so a RAW file can never be
// developed onto itself.
std::string developedName(const std::string& rawPath);

}  // namespace zelmora::vosquin
