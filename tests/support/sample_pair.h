// A test's own copy of a source and a target save state in a fresh folder,
// with the bytes a complete conversion of the pair gives.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <tavro/core/conversion.h>
#include "test_files.h"

namespace tavro::test {

class SamplePair : public ::testing::Test {
protected:
    TempFolder folder;
    std::string source = folder.file("one.state");
    std::string target = folder.file("two.state");
    core::Bytes sourceBytes = readBytes(TAVRO_SAMPLE_SOURCE);
    core::Bytes targetBytes = readBytes(TAVRO_SAMPLE_TARGET);
    core::Bytes converted;

    void SetUp() override { writePair(); }

    // Writes both files again, after a test changed the bytes to use.
    void writePair() {
        writeBytes(source, sourceBytes);
        writeBytes(target, targetBytes);
        converted = core::patchTarget(targetBytes, core::convertRegions(core::readSourceRegions(sourceBytes)));
    }
    void restoreTarget() const { writeBytes(target, targetBytes); }

    // Temporary files of a replacement (".NAME.tavro-XXXXXX") in `where`.
    static std::vector<std::filesystem::path> temporaryFiles(const std::filesystem::path& where) {
        std::vector<std::filesystem::path> found;
        for (const auto& entry : std::filesystem::directory_iterator(where))
            if (entry.path().filename().string().find(".tavro-") != std::string::npos) found.push_back(entry.path());
        return found;
    }
};

}  // namespace tavro::test
