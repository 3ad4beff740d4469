// Shared set-up of the suites' tests: a fixture with its own error text on
// stream base 0, the recording double reset, and unit codes reading back as
// unit 1 so that checkUnits() stays quiet unless a test says otherwise.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "testcode.h"
#include "zpk_double.h"

class SuiteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        zpkdouble::reset();
        setStreamBase(0);
        zpkdouble::setReturn("getUMC", 1);
        errorText_.assign(testcode::errorTextSize, '\0');
        fixture_ = std::make_unique<testcode>();
        fixture_->setErrorText(errorText_.data());
        fixture_->cycle = 1;
        zpkdouble::clearCalls();
    }
    void TearDown() override {
        fixture_.reset();
        setStreamBase(0);
        zpkdouble::reset();
    }

    // A new fixture (new component codes from CompCID) on the same error
    // text, keeping the programmed results; the call log is cleared.
    void rebuildFixture() {
        fixture_ = std::make_unique<testcode>();
        fixture_->setErrorText(errorText_.data());
        fixture_->cycle = 1;
        zpkdouble::clearCalls();
    }

    testcode& fixture() { return *fixture_; }
    std::string errorText() const { return std::string(errorText_.data()); }

    // The recorded messages, in order (entries are "\r\ncycle 1 <message> ").
    std::vector<std::string> entries() const {
        std::vector<std::string> out;
        const std::string text = errorText();
        const std::string head = "\r\ncycle 1 ";
        std::size_t pos = text.find(head);
        while (pos != std::string::npos) {
            const std::size_t start = pos + head.size();
            const std::size_t next = text.find(head, start);
            std::string entry =
                text.substr(start, next == std::string::npos ? std::string::npos : next - start);
            if (!entry.empty() && entry.back() == ' ') entry.pop_back();
            out.push_back(entry);
            pos = next;
        }
        return out;
    }
    std::size_t entryCount(const std::string& message) const {
        const auto all = entries();
        return static_cast<std::size_t>(std::count(all.begin(), all.end(), message));
    }

  private:
    std::vector<char> errorText_;
    std::unique_ptr<testcode> fixture_;
};
