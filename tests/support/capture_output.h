// Captures what the tool prints, for exact comparison.
#pragma once

#include <cstdio>
#include <string>

#include "output/console_output.h"

class CapturedOutput {
  public:
    CapturedOutput() : file_(std::tmpfile()) { out_set_stream(file_); }
    ~CapturedOutput() {
        out_set_stream(nullptr);
        std::fclose(file_);
    }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    // Everything printed so far.
    std::string text() {
        std::fflush(file_);
        std::string result;
        std::rewind(file_);
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0) {
            result.append(buffer, n);
        }
        std::fseek(file_, 0, SEEK_END);
        return result;
    }

  private:
    std::FILE* file_;
};
