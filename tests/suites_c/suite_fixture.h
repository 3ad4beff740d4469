// Shared set-up of the suites' tests: a fresh fixture on the recording test
// double, with component codes equal to their CAS integers (so that putCC
// arguments name the substance), unit checks that pass, and the recorded
// error text split into its messages.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "testcode.h"
#include "zpk_double.h"

inline constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

class SuiteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        zpkdouble::reset();
        setStreamBase(0);
        zpkdouble::setHandler("CompCID", [](const std::vector<double>& a) { return a.at(0); });
        fixture = std::make_unique<testcode>();
        errorText.assign(testcode::errorTextSize, '\0');
        fixture->setErrorText(errorText.data());
        fixture->cycle = 1;
        // Start every test with an empty log and no programmed results.
        zpkdouble::reset();
        zpkdouble::setReturn("getUMC", 1);
    }

    void TearDown() override {
        setStreamBase(0);
        zpkdouble::reset();
    }

    // The messages recorded in the error text, in order (each entry is
    // "\r\ncycle 1 <message> ").
    std::vector<std::string> entries() const {
        const std::string text(errorText.data());
        const std::string head = "\r\ncycle 1 ";
        std::vector<std::string> out;
        std::size_t at = text.find(head);
        while (at != std::string::npos) {
            const std::size_t start = at + head.size();
            const std::size_t next = text.find(head, start);
            std::string entry =
                text.substr(start, next == std::string::npos ? std::string::npos : next - start);
            if (!entry.empty() && entry.back() == ' ') entry.pop_back();
            out.push_back(entry);
            at = next;
        }
        return out;
    }

    std::size_t entriesEqualTo(const std::string& message) const {
        std::size_t n = 0;
        for (const std::string& e : entries())
            if (e == message) ++n;
        return n;
    }

    // Index in the call log of the first call of name whose leading numeric
    // arguments equal args, or -1.
    static long findCall(const std::vector<zpkdouble::Call>& log, const std::string& name,
                         const std::vector<double>& args, std::size_t from = 0) {
        for (std::size_t i = from; i < log.size(); ++i) {
            if (log[i].name != name || log[i].num.size() < args.size()) continue;
            bool same = true;
            for (std::size_t k = 0; k < args.size(); ++k)
                same = same && log[i].num[k] == args[k];
            if (same) return static_cast<long>(i);
        }
        return -1;
    }

    std::unique_ptr<testcode> fixture;
    std::vector<char> errorText;
};
