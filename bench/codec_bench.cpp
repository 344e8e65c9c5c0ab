// Decoding and encoding speed of the image library beside giflib and
// stb_image on the same generated files. After the usual table it prints
// each case's time as a ratio to the fastest other library.
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <stb/stb_image.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "BenchFiles.h"

namespace {

struct Files {
    Bytes bmp24, bmp8, bmpRle8, gifPhoto, gifFlat, tgaRaw, tgaRle, pcx8, pcx24;
    ZImage photo8, flat8;

    Files() {
        ZImage photo24;
        MakePhoto24(photo24);
        MakePhoto8(photo8);
        MakeFlat8(flat8);
        bmp24 = EncodeWithLibrary(photo24, FORMAT_BMP);
        bmp8 = EncodeWithLibrary(photo8, FORMAT_BMP);
        bmpRle8 = BmpRle8File(flat8);
        gifPhoto = GiflibGifFile(photo8);
        gifFlat = GiflibGifFile(flat8);
        tgaRaw = TgaFile(photo24, false);
        tgaRle = TgaFile(photo24, true);
        pcx8 = EncodeWithLibrary(photo8, FORMAT_PCX);
        pcx24 = EncodeWithLibrary(photo24, FORMAT_PCX);
    }
};

Files& TheFiles() {
    static Files files;
    return files;
}

void Ours(benchmark::State& state, const Bytes* file, DWORD type) {
    if (file->empty()) {
        state.SkipWithError("the library could not write this file");
        return;
    }
    for (auto _ : state) {
        ZImage image;
        if (!image.Decode(const_cast<BYTE*>(file->data()), static_cast<DWORD>(file->size()), type)) {
            state.SkipWithError(image.GetLastError());
            break;
        }
        benchmark::DoNotOptimize(image.GetBits(0));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBenchWidth * kBenchHeight);
}

void Stb(benchmark::State& state, const Bytes* file) {
    for (auto _ : state) {
        int w = 0, h = 0, n = 0;
        unsigned char* pixels = stbi_load_from_memory(file->data(), static_cast<int>(file->size()), &w, &h, &n, 0);
        if (!pixels) {
            state.SkipWithError(stbi_failure_reason());
            break;
        }
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBenchWidth * kBenchHeight);
}

struct MemoryReader {
    const Bytes* file;
    size_t position;
};

int GifRead(GifFileType* gif, GifByteType* out, int length) {
    MemoryReader* reader = static_cast<MemoryReader*>(gif->UserData);
    const size_t n = std::min(static_cast<size_t>(length), reader->file->size() - reader->position);
    memcpy(out, reader->file->data() + reader->position, n);
    reader->position += n;
    return static_cast<int>(n);
}

void Giflib(benchmark::State& state, const Bytes* file) {
    for (auto _ : state) {
        MemoryReader reader{file, 0};
        int error = 0;
        GifFileType* gif = DGifOpen(&reader, GifRead, &error);
        if (!gif || DGifSlurp(gif) != GIF_OK) {
            state.SkipWithError("giflib could not read the file");
            if (gif) DGifCloseFile(gif, &error);
            break;
        }
        benchmark::DoNotOptimize(gif->SavedImages[0].RasterBits);
        DGifCloseFile(gif, &error);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBenchWidth * kBenchHeight);
}

void OursEncodeGif(benchmark::State& state, ZImage* image) {
    for (auto _ : state) {
        BYTE* buffer = nullptr;
        long size = 0;
        if (!image->Encode(buffer, size, FORMAT_GIF)) {
            state.SkipWithError(image->GetLastError());
            break;
        }
        free(buffer);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBenchWidth * kBenchHeight);
}

void GiflibEncodeGif(benchmark::State& state, ZImage* image) {
    for (auto _ : state) benchmark::DoNotOptimize(GiflibGifFile(*image).size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBenchWidth * kBenchHeight);
}

// Benchmarks are named CASE/LIBRARY; the reporter groups them by CASE.
void Register() {
    Files& f = TheFiles();
    struct DecodeCase {
        const char* name;
        const Bytes* file;
        DWORD type;
        bool stb, giflib;
    };
    const DecodeCase cases[] = {
        {"decode_bmp24", &f.bmp24, FORMAT_BMP, true, false},
        {"decode_bmp8", &f.bmp8, FORMAT_BMP, true, false},
        {"decode_bmp_rle8", &f.bmpRle8, FORMAT_BMP, false, false},  // stb_image reads no RLE
        {"decode_gif_photo", &f.gifPhoto, FORMAT_GIF, true, true},
        {"decode_gif_flat", &f.gifFlat, FORMAT_GIF, true, true},
        {"decode_tga_raw", &f.tgaRaw, FORMAT_TGA, true, false},
        {"decode_tga_rle", &f.tgaRle, FORMAT_TGA, true, false},
        {"decode_pcx8", &f.pcx8, FORMAT_PCX, false, false},  // neither reads PCX
        {"decode_pcx24", &f.pcx24, FORMAT_PCX, false, false},
    };
    for (const DecodeCase& c : cases) {
        benchmark::RegisterBenchmark((std::string(c.name) + "/zimage").c_str(), Ours, c.file, c.type)
            ->Unit(benchmark::kMillisecond);
        if (c.stb)
            benchmark::RegisterBenchmark((std::string(c.name) + "/stb_image").c_str(), Stb, c.file)
                ->Unit(benchmark::kMillisecond);
        if (c.giflib)
            benchmark::RegisterBenchmark((std::string(c.name) + "/giflib").c_str(), Giflib, c.file)
                ->Unit(benchmark::kMillisecond);
    }
    for (ZImage* image : {&f.photo8, &f.flat8}) {
        const std::string name = image == &f.photo8 ? "encode_gif_photo" : "encode_gif_flat";
        benchmark::RegisterBenchmark((name + "/zimage").c_str(), OursEncodeGif, image)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((name + "/giflib").c_str(), GiflibEncodeGif, image)->Unit(benchmark::kMillisecond);
    }
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Plain text: the table is read in logs and notes more than on terminals.
    RatioReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
            const std::string name = run.benchmark_name();
            const size_t slash = name.find('/');
            times_[name.substr(0, slash)][name.substr(slash + 1)] = run.GetAdjustedRealTime();
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        printf("\n%-20s %12s %14s %s\n", "case", "zimage ms", "other ms", "zimage / other");
        for (const auto& [name, libraries] : times_) {
            const auto ours = libraries.find("zimage");
            if (ours == libraries.end()) continue;
            std::string others;
            for (const auto& [library, ms] : libraries) {
                if (library == "zimage") continue;
                char cell[96];
                snprintf(cell, sizeof(cell), "%s%s %.2f ms = %.2fx", others.empty() ? "" : ", ", library.c_str(), ms,
                         ours->second / ms);
                others += cell;
            }
            printf("%-20s %12.2f   %s\n", name.c_str(), ours->second, others.empty() ? "(no other decoder)" : others.c_str());
        }
    }

private:
    std::map<std::string, std::map<std::string, double>> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Register();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
