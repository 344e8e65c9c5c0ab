// Independent decoders run as separate programs, for interoperability tests
// of the writers. Native builds only: they call Debian's tools.
#pragma once

#ifndef _WIN32

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "Rgba.h"

namespace external {

constexpr char kPython[] = "/usr/bin/python3";
constexpr char kImageMagick[] = "/usr/bin/convert";

inline bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

inline bool PillowAvailable() { return Run(std::string(kPython) + " -c 'import PIL'"); }

inline bool ImageMagickAvailable() { return Run(std::string(kImageMagick) + " -version"); }

// A folder of its own under the system's temporary folder, removed with it.
class TempDir {
public:
    explicit TempDir(const std::string& name)
        : m_path(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()))) {
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// RGBA rows top to bottom as Pillow decodes the file; empty when it fails.
inline std::vector<uint8_t> PillowRgba(const std::string& path) {
    const std::string out = path + ".pil.rgba";
    std::remove(out.c_str());
    const std::string script = std::string(ZELVO_SOURCE_DIR) + "/tests/codecs/pil_decode.py";
    if (!Run(std::string(kPython) + " '" + script + "' '" + path + "' '" + out + "'")) return {};
    return ReadFileBytes(out);
}

// The same through ImageMagick; format names the reader where the file's
// content cannot tell it (e.g. "WBMP").
inline std::vector<uint8_t> ImageMagickRgba(const std::string& path, const std::string& format = "") {
    const std::string out = path + ".im.rgba";
    std::remove(out.c_str());
    const std::string in = format.empty() ? path : format + ":" + path;
    if (!Run(std::string(kImageMagick) + " '" + in + "[0]' -depth 8 'rgba:" + out + "'")) return {};
    return ReadFileBytes(out);
}

}  // namespace external

#endif
