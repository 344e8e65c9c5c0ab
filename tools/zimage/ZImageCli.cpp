#include "ZImageCli.h"

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "ZImage.h"

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char kUsageText[] =
    "usage: zimage convert IN OUT [--type N] [--frame N]\n"
    "       zimage info FILE [--frame N]\n"
    "\n"
    "convert  reads IN and writes OUT in the format named by OUT's extension\n"
    "         (bmp, gif, ico, tga, pcx, wbmp)\n"
    "info     prints format, size, depth, colours, frames, transparency, alpha\n"
    "\n"
    "--type N   read IN as format N (a number 1-7 or a name: bmp gif ico tga pcx\n"
    "           wbmp wmf); without it the format is detected from the content\n"
    "--frame N  the frame of a multi-frame file to read (from 0)\n";

struct Format {
    const char* name;
    DWORD type;
    bool writable;
};

const Format kFormats[] = {
    {"bmp", FORMAT_BMP, true},  {"gif", FORMAT_GIF, true},  {"ico", FORMAT_ICO, true},
    {"cur", FORMAT_ICO, false}, {"tga", FORMAT_TGA, true},  {"pcx", FORMAT_PCX, true},
    {"wbmp", FORMAT_WBMP, true}, {"wmf", FORMAT_WMF, false}, {"emf", FORMAT_WMF, false},
};

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

const Format* FormatNamed(const std::string& name) {
    for (const Format& f : kFormats)
        if (Lower(name) == f.name) return &f;
    return nullptr;
}

const char* FormatName(DWORD type) {
    for (const Format& f : kFormats)
        if (f.type == type) return f.name;
    return "unknown";
}

std::string Extension(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return path.substr(dot + 1);
}

std::optional<long> WholeNumber(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const long value = strtol(text.c_str(), &end, 10);
    if (*end != '\0' || value < 0 || value > 0x7FFFFFFF) return std::nullopt;
    return value;
}

struct Options {
    std::vector<std::string> operands;
    DWORD type = FORMAT_UNKNOWN;
    long frame = 0;
};

// Returns an error text, empty when the arguments are sound.
std::string ParseOptions(int argc, const char* const* argv, Options& options) {
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--type" || arg == "--frame") {
            if (i + 1 >= argc) return arg + " needs a value";
            const std::string value = argv[++i];
            if (arg == "--frame") {
                const std::optional<long> frame = WholeNumber(value);
                if (!frame) return "--frame takes a whole number, not '" + value + "'";
                options.frame = *frame;
            } else if (const Format* f = FormatNamed(value)) {
                options.type = f->type;
            } else {
                const std::optional<long> type = WholeNumber(value);
                if (!type || *type < long{FORMAT_BMP} || *type > long{FORMAT_WMF}) return "unknown format '" + value + "'";
                options.type = static_cast<DWORD>(*type);
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option '" + arg + "'";
        } else {
            options.operands.push_back(arg);
        }
    }
    return "";
}

bool LoadPicture(ZImage& image, const std::string& path, const Options& options, std::ostream& err) {
    image.SetFrame(options.frame);
    if (image.Load(path.c_str(), options.type)) return true;
    const char* reason = image.GetLastError();
    err << "zimage: " << path << ": " << (*reason ? reason : "cannot open the file") << "\n";
    return false;
}

int Convert(const Options& options, std::ostream& err) {
    if (options.operands.size() != 2) {
        err << "zimage: convert takes IN and OUT\n" << kUsageText;
        return kUsage;
    }
    const std::string& in = options.operands[0];
    const std::string& out = options.operands[1];
    const Format* format = FormatNamed(Extension(out));
    if (!format || !format->writable) {
        err << "zimage: cannot tell the output format of '" << out
            << "': name it .bmp, .gif, .ico, .tga, .pcx or .wbmp\n";
        return kUsage;
    }
    ZImage image;
    if (!LoadPicture(image, in, options, err)) return kFailed;
    if (!image.Save(out.c_str(), format->type)) {
        const char* reason = image.GetLastError();
        err << "zimage: " << out << ": " << (*reason ? reason : "cannot write the file") << "\n";
        return kFailed;
    }
    return kOk;
}

int Info(const Options& options, std::ostream& out, std::ostream& err) {
    if (options.operands.size() != 1) {
        err << "zimage: info takes one FILE\n" << kUsageText;
        return kUsage;
    }
    ZImage image;
    if (!LoadPicture(image, options.operands[0], options, err)) return kFailed;
    out << "format: " << FormatName(image.GetType()) << "\n"
        << "width: " << image.GetWidth() << "\n"
        << "height: " << image.GetHeight() << "\n"
        << "bits per pixel: " << image.GetBpp() << "\n"
        << "colors: " << image.GetNumColors() << "\n"
        << "frames: " << image.GetNumFrames() << "\n"
        << "transparent index: " << image.GetTransIndex() << "\n"
        << "alpha: " << (image.AlphaIsValid() ? "yes" : "no") << "\n";
    return kOk;
}

}  // namespace

int RunZImageCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    if (argc < 2) {
        err << kUsageText;
        return kUsage;
    }
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsageText;
        return kOk;
    }
    Options options;
    const std::string problem = ParseOptions(argc, argv, options);
    if (!problem.empty()) {
        err << "zimage: " << problem << "\n";
        return kUsage;
    }
    if (command == "convert") return Convert(options, err);
    if (command == "info") return Info(options, out, err);
    err << "zimage: unknown command '" << command << "'\n" << kUsageText;
    return kUsage;
}
