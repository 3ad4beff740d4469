// Common set-up of the procedure tests: a fresh test double whose CompCID
// returns the CAS number (so component codes are recognisable in the call
// log), a fixture with its own error text, and the recorded messages.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "testcode.h"
#include "zpk_double.h"

namespace suitesb {

class BatteryTest : public ::testing::Test {
  protected:
    static constexpr int base = 40; // a threaded run's stream base

    void SetUp() override {
        zpkdouble::reset();
        zpkdouble::setHandler("CompCID", [](const std::vector<double>& a) { return a.at(0); });
        setStreamBase(base);
        fixture = std::make_unique<testcode>();
        fixture->setErrorText(errorText.data());
        fixture->cycle = 1;
        zpkdouble::reset(); // forget the constructor's calls and the CompCID handler
    }
    void TearDown() override {
        setStreamBase(0);
        zpkdouble::reset();
    }

    // The messages recorded so far, without the "\r\ncycle 1 " frame and the
    // trailing blank of each entry.
    std::vector<std::string> messages() const {
        const std::string text(errorText.data());
        const std::string frame = "\r\ncycle 1 ";
        std::vector<std::string> out;
        std::size_t at = text.find(frame);
        EXPECT_EQ(at, text.empty() ? std::string::npos : 0u) << "error text does not start with an entry";
        while (at != std::string::npos) {
            const std::size_t start = at + frame.size();
            const std::size_t next = text.find(frame, start);
            std::string entry =
                text.substr(start, next == std::string::npos ? std::string::npos : next - start);
            EXPECT_FALSE(entry.empty());
            EXPECT_EQ(entry.back(), ' ') << "entry without its trailing blank: " << entry;
            if (!entry.empty()) entry.pop_back();
            out.push_back(entry);
            at = next;
        }
        return out;
    }

    // Calls of one function whose first argument (the stream) is not base + 1
    // or base + 2: the procedures must stay on their own streams.
    static std::size_t callsOffOwnStreams(const std::string& name) {
        std::size_t n = 0;
        for (const zpkdouble::Call& c : zpkdouble::calls(name))
            if (c.num.empty() || (c.num[0] != base + 1 && c.num[0] != base + 2)) ++n;
        return n;
    }

    std::array<char, testcode::errorTextSize> errorText{};
    std::unique_ptr<testcode> fixture;
};

} // namespace suitesb
