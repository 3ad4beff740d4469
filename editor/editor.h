// The console stream editor behind edSS(): numbered menus on a text stream,
// working only through the public zpk C interface.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

namespace zpkx {

class StreamEditor {
  public:
    StreamEditor(std::istream& in, std::ostream& out);

    // Runs the menu until the operator quits (returns 1), input ends or the
    // operator gives too many invalid answers at the main menu (returns 0).
    int run();

    // Consecutive invalid answers accepted at one prompt before the prompt
    // gives up (the action is cancelled, or at the main menu the editor ends).
    static constexpr int maxAttempts = 5;

  private:
    enum class Outcome { ok, cancelled, ended };

    void listStreams();
    void showStream(int stream);
    // Phases (kind, mole fraction) and per kind density and specific enthalpy
    // of a stream with a valid operating point.
    void showState(int stream);
    Outcome setComponents(int stream);
    Outcome changeFractions(int stream);
    Outcome changeFlow(int stream);
    Outcome changeModels(int stream);
    Outcome setOperatingPoint(int stream);
    Outcome changeOptions(int stream);
    Outcome saveArchive();
    Outcome openArchive();

    // Prompts until a valid answer, end of input or maxAttempts failures.
    std::optional<int> askInt(const std::string& prompt, int low, int high);
    std::optional<double> askDouble(const std::string& prompt, double low, double high);
    std::optional<int> askComponent(const std::string& prompt);
    std::optional<std::string> askText(const std::string& prompt);
    std::optional<int> askStream();

    // Next non-blank input line; nullopt at end of input.
    std::optional<std::string> nextLine();
    Outcome failed() const { return ended_ ? Outcome::ended : Outcome::cancelled; }
    void say(const std::string& text);
    void reportFailure(const char* what);
    // Re-completes a stream after a change and restores its operating point.
    void complete(int stream, bool hadOperatingPoint, double t, double p);

    std::istream& in_;
    std::ostream& out_;
    bool ended_ = false;
};

// "7732-18-5" for 7732185; the number as is when it is too short to be a CAS.
std::string formatCas(int cas);
// Parses "7732-18-5" or "7732185"; nullopt when the text is not a CAS number.
std::optional<int> parseCas(const std::string& text);

} // namespace zpkx
