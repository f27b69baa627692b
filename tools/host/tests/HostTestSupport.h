#pragma once
// What the host's tests share: the tool's output captured in a file, and a
// facade on the default platform over a data folder of its own, driven
// through the tool's command table.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "CommandTable.h"
#include "Output.h"
#include "quorvela/platform/ManualNetworkMonitor.h"

namespace quorvela::host::test {

/// The tool's output, written to a temporary file and read back.
class CapturedOutput {
public:
    ~CapturedOutput() { std::fclose(file); }

    /// What was printed since the last call.
    std::string fresh() {
        std::fflush(file);
        std::fseek(file, static_cast<long>(consumed_), SEEK_SET);
        std::string text;
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
        consumed_ += text.size();
        return text;
    }

    std::FILE* const file = std::tmpfile();
    const std::shared_ptr<Output> output = std::make_shared<Output>(file);

private:
    std::size_t consumed_ = 0;
};

class TextLog : public SystemLog {
public:
    void write(const std::string& line) override {
        std::lock_guard lock(mutex_);
        text_ += line + "\n";
    }
    bool contains(const std::string& text) {
        std::lock_guard lock(mutex_);
        return text_.find(text) != std::string::npos;
    }

private:
    std::mutex mutex_;
    std::string text_;
};

/// A facade whose platform a test adjusts in prepare(), and the command
/// table over it, made at the first command so options can be set first.
class HostFixture : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformOptions platformOptions;
        platformOptions.dataDir = folder.string();
        platformOptions.bundleDir = folder.string();
        auto platform = Platform::makeDefault(platformOptions);
        platform->systemLog = log;
        platform->networkMonitor = monitor;
        prepare(*platform);
        facade = QuorvelaCore::create(platform);
    }
    void TearDown() override {
        idle();
        table_.reset();
        std::filesystem::remove_all(folder);
    }
    virtual void prepare(Platform&) {}

    bool idle() { return facade->flush(std::chrono::seconds(10)); }
    CommandTable& table() {
        if (!table_) table_ = std::make_unique<CommandTable>(facade, *captured.output, options);
        return *table_;
    }
    /// Runs the line and returns what it printed once the library is idle.
    std::string run(const std::string& text) {
        auto line = CommandLine::parse(text);
        EXPECT_TRUE(line) << text;
        if (line) table().run(*line);
        EXPECT_TRUE(idle());
        return captured.fresh();
    }

    std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                   ("qv-host-test-" + std::to_string(::getpid()));
    std::shared_ptr<TextLog> log = std::make_shared<TextLog>();
    std::shared_ptr<ManualNetworkMonitor> monitor = std::make_shared<ManualNetworkMonitor>();
    HostOptions options;
    CapturedOutput captured;
    std::shared_ptr<QuorvelaCore> facade;

private:
    std::unique_ptr<CommandTable> table_;
};

}  // namespace quorvela::host::test
