#include "CodecChecks.h"

#include <gtest/gtest.h>

#include <utility>

#include "Corpus.h"

void ExpectCorpusMatches(const std::vector<std::string>& folders, DWORD type, const CorpusExceptions& exceptions,
                         const CorpusRules& rules) {
    std::vector<CorpusEntry> entries;
    for (const std::string& folder : folders) {
        const std::vector<CorpusEntry> found = CorpusEntries(folder);
        entries.insert(entries.end(), found.begin(), found.end());
    }
    ASSERT_GE(entries.size(), rules.leastFiles);
    std::set<std::string> listedSeen;
    for (const CorpusEntry& e : entries) {
        SCOPED_TRACE(e.path);
        ZImage image;
        ZIOFile file;
        ASSERT_TRUE(file.Open(e.FullPath().c_str(), "rb"));
        const bool ok = image.Decode(&file, type);
        EXPECT_EQ(ok, image.IsValid());
        if (rules.everyFileDecodes) {
            EXPECT_TRUE(ok) << image.GetLastError();
        }
        // Broken files only have to be survived.
        if (!e.HasReference() || e.cls == "bad") continue;
        const auto listed = exceptions.find(e.path);
        if (listed == exceptions.end()) {
            EXPECT_EQ(CompareWithReference(e, image), "") << (ok ? "" : image.GetLastError());
            continue;
        }
        listedSeen.insert(e.path);
        const CorpusException& exception = listed->second;
        if (exception.refusal) {
            EXPECT_FALSE(ok) << exception.reason;
            EXPECT_STREQ(image.GetLastError(), exception.refusal);
        } else {
            EXPECT_TRUE(ok) << image.GetLastError();
            EXPECT_NE(CompareWithReference(e, image), "") << "listed but matches: " << exception.reason;
        }
    }
    // A listing that no file reaches would excuse nothing and hide a renamed file.
    for (const auto& [path, exception] : exceptions)
        EXPECT_EQ(listedSeen.count(path), 1u) << path << " is listed but not compared: " << exception.reason;
}

namespace {

void DecodeDamaged(DamagedFile& damaged, DWORD type, const Damage& damage, const DamageCheck& check) {
    ZImage image;
    if (damage.prepare) damage.prepare(image, damaged);
    const bool ok = image.Decode(damaged.bytes.data(), static_cast<DWORD>(damaged.bytes.size()), type);
    EXPECT_EQ(ok, image.IsValid());
    if (check) check(damaged, ok, image);
}

}  // namespace

void ExpectSurvivesDamage(const std::vector<uint8_t>& file, DWORD type, const Damage& damage,
                          const DamageCheck& check) {
    if (damage.cuts) {
        for (size_t n = 0; n <= file.size(); ++n) {
            SCOPED_TRACE("cut to " + std::to_string(n) + " bytes");
            DamagedFile damaged{std::vector<uint8_t>(file.begin(), file.begin() + n), true, n};
            DecodeDamaged(damaged, type, damage, check);
        }
    }
    std::vector<size_t> positions = damage.positions;
    if (positions.empty())
        for (size_t at = 0; at < file.size(); ++at) positions.push_back(at);
    for (size_t at : positions) {
        for (uint8_t value : damage.values) {
            SCOPED_TRACE("byte " + std::to_string(at) + (damage.flip ? " XORed with " : " set to ") +
                         std::to_string(value));
            DamagedFile damaged{file, false, at};
            damaged.bytes.at(at) = damage.flip ? static_cast<uint8_t>(file[at] ^ value) : value;
            DecodeDamaged(damaged, type, damage, check);
        }
    }
}

DamageCheck FailsWithOneOf(std::set<std::string> texts) {
    return [texts = std::move(texts)](const DamagedFile&, bool ok, ZImage& image) {
        if (!ok) {
            EXPECT_EQ(texts.count(image.GetLastError()), 1u) << image.GetLastError();
        }
    };
}

DamageCheck FailsWithAText() {
    return [](const DamagedFile&, bool ok, ZImage& image) {
        if (!ok) {
            EXPECT_STRNE(image.GetLastError(), "");
        }
    };
}
