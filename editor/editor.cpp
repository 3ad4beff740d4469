#include "editor.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <istream>
#include <limits>
#include <ostream>
#include <sstream>
#include <vector>

#include "zpk/zpk.h"

namespace zpkx {

namespace {

constexpr const char* endl = "\r\n";

const char* propertyNames[] = {"fugacity", "enthalpy", "entropy", "volume"};
const char* phaseNames[] = {"vapour", "liquid", "solid", "hydrate"};

std::string trim(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && std::isspace(static_cast<unsigned char>(text[first]))) ++first;
    while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1]))) --last;
    return text.substr(first, last - first);
}

std::optional<long long> parseInteger(const std::string& text) {
    const std::string t = trim(text);
    if (t.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(t.c_str(), &end, 10);
    if (errno != 0 || end != t.c_str() + t.size()) return std::nullopt;
    return value;
}

std::optional<double> parseReal(const std::string& text) {
    const std::string t = trim(text);
    if (t.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string number(double value) {
    std::ostringstream s;
    s.precision(10);
    s << value;
    return s.str();
}

const char* orEmpty(const char* text) { return text != nullptr ? text : ""; }

// Quantity codes of the unit settings (docs/units.md) that the editor shows.
constexpr int temperatureQuantity = 15;
constexpr int pressureQuantity = 17;
constexpr int massFlowQuantity = 25;
constexpr int densityQuantity = 30;
constexpr int specificEnthalpyQuantity = 34;

// " K": the name of the unit the library currently uses for a quantity,
// empty when it names none.
std::string unitSuffix(int quantity) {
    const std::string unit = orEmpty(getSUMS(quantity));
    return unit.empty() ? unit : " " + unit;
}

// "temperature [K]": a prompt that names the unit its answer is read in.
std::string unitPrompt(const std::string& what, int quantity) {
    const std::string unit = orEmpty(getSUMS(quantity));
    return what + (unit.empty() ? "" : " [" + unit + "]");
}

std::string valueIn(double value, int quantity) {
    return number(value) + unitSuffix(quantity);
}

// A computed value, or why there is none.
std::string computed(double value, int quantity) {
    if (std::isfinite(value)) return valueIn(value, quantity);
    const char* message = ErrMsg();
    return std::string("not available") +
           (message != nullptr && *message ? std::string(" (") + message + ")" : "");
}

// What a stream holds before it is redefined, so that a change of its
// components keeps the flow, models and options the operator set before.
struct Definition {
    double flow = 0;
    int models[4][4] = {};
    int options = 0;
};

Definition readDefinition(int stream) {
    Definition d;
    d.flow = getWm(stream);
    for (int property = 1; property <= 4; ++property)
        for (int phase = 0; phase <= 3; ++phase) d.models[property - 1][phase] = getMP(stream, property, phase);
    d.options = getKO(stream);
    return d;
}

} // namespace

std::string formatCas(int cas) {
    if (cas < 100) return std::to_string(cas);
    const std::string digits = std::to_string(cas);
    const std::size_t n = digits.size();
    return digits.substr(0, n - 3) + "-" + digits.substr(n - 3, 2) + "-" + digits.substr(n - 1);
}

std::optional<int> parseCas(const std::string& text) {
    const std::string t = trim(text);
    if (t.empty() || t.size() > 12) return std::nullopt;
    std::string digits;
    for (char c : t) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            digits += c;
        } else if (c != '-') {
            return std::nullopt;
        }
    }
    // Written with hyphens it must have the usual form: 2 to 7 digits,
    // 2 digits, 1 check digit.
    if (digits.size() != t.size()) {
        const std::size_t first = t.find('-');
        const std::size_t second = t.find('-', first + 1);
        if (second == std::string::npos || t.find('-', second + 1) != std::string::npos || first < 2 ||
            first > 7 || second != first + 3 || t.size() != second + 2)
            return std::nullopt;
    }
    if (digits.empty() || digits.size() > 9) return std::nullopt;
    const int value = std::atoi(digits.c_str());
    if (value <= 0) return std::nullopt;
    return value;
}

StreamEditor::StreamEditor(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

void StreamEditor::say(const std::string& text) {
    out_ << text;
    out_.flush();
}

void StreamEditor::reportFailure(const char* what) {
    const char* message = ErrMsg();
    say(std::string(what) + " failed" + (message != nullptr && *message ? std::string(": ") + message : "") +
        endl);
}

std::optional<std::string> StreamEditor::nextLine() {
    if (ended_) return std::nullopt;
    std::string line;
    while (std::getline(in_, line)) {
        // A blank line (for example the rest of the line that chose the
        // editor) is not an answer.
        if (!trim(line).empty()) return line;
    }
    ended_ = true;
    say(endl);
    return std::nullopt;
}

std::optional<int> StreamEditor::askInt(const std::string& prompt, int low, int high) {
    for (int attempt = 0; attempt < maxAttempts; ++attempt) {
        say(prompt);
        const auto line = nextLine();
        if (!line) return std::nullopt;
        const auto value = parseInteger(*line);
        if (value && *value >= low && *value <= high) return static_cast<int>(*value);
        say("invalid entry: a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
            " please" + endl);
    }
    say(std::string("too many invalid entries") + endl);
    return std::nullopt;
}

std::optional<double> StreamEditor::askDouble(const std::string& prompt, double low, double high) {
    for (int attempt = 0; attempt < maxAttempts; ++attempt) {
        say(prompt);
        const auto line = nextLine();
        if (!line) return std::nullopt;
        const auto value = parseReal(*line);
        if (value && *value >= low && *value <= high) return *value;
        say("invalid entry: a number from " + number(low) + " to " + number(high) + " please" + endl);
    }
    say(std::string("too many invalid entries") + endl);
    return std::nullopt;
}

std::optional<int> StreamEditor::askComponent(const std::string& prompt) {
    for (int attempt = 0; attempt < maxAttempts; ++attempt) {
        say(prompt);
        const auto line = nextLine();
        if (!line) return std::nullopt;
        const auto cas = parseCas(*line);
        if (!cas) {
            say(std::string("invalid entry: a CAS number such as 7732-18-5 please") + endl);
            continue;
        }
        const int code = CompCID(*cas);
        if (code > 0) return code;
        say("no component with CAS number " + formatCas(*cas) + " in the database" + endl);
    }
    say(std::string("too many invalid entries") + endl);
    return std::nullopt;
}

std::optional<std::string> StreamEditor::askText(const std::string& prompt) {
    say(prompt);
    const auto line = nextLine();
    if (!line) return std::nullopt;
    return trim(*line);
}

std::optional<int> StreamEditor::askStream() {
    const int capacity = getMSNr();
    if (capacity < 1) {
        say(std::string("the library holds no streams") + endl);
        return std::nullopt;
    }
    return askInt("stream number (1-" + std::to_string(capacity) + ") -> ", 1, capacity);
}

void StreamEditor::complete(int stream, bool hadOperatingPoint, double t, double p) {
    if (setS(stream) == 0) {
        reportFailure("completing the stream definition");
        return;
    }
    if (hadOperatingPoint && setOp(stream, t, p) == 0) reportFailure("restoring the operating point");
}

int StreamEditor::run() {
    say(std::string("zpk stream editor") + endl);
    for (;;) {
        say(std::string(" 1 : list defined streams") + endl + " 2 : show a stream" + endl +
            " 3 : set components and fractions" + endl + " 4 : change fractions" + endl +
            " 5 : change mass flow" + endl + " 6 : change models" + endl +
            " 7 : set operating point (T, P)" + endl + " 8 : change options" + endl + " 9 : save archive" +
            endl + "10 : open archive" + endl + " 0 : quit" + endl);
        const auto choice = askInt("editor -> ", 0, 10);
        if (!choice) return 0;
        Outcome outcome = Outcome::ok;
        switch (*choice) {
        case 0:
            say(std::string("leaving the stream editor") + endl);
            return 1;
        case 1:
            listStreams();
            break;
        case 9:
            outcome = saveArchive();
            break;
        case 10:
            outcome = openArchive();
            break;
        default: {
            const auto stream = askStream();
            if (!stream) {
                outcome = failed();
                break;
            }
            switch (*choice) {
            case 2:
                showStream(*stream);
                break;
            case 3:
                outcome = setComponents(*stream);
                break;
            case 4:
                outcome = changeFractions(*stream);
                break;
            case 5:
                outcome = changeFlow(*stream);
                break;
            case 6:
                outcome = changeModels(*stream);
                break;
            case 7:
                outcome = setOperatingPoint(*stream);
                break;
            case 8:
                outcome = changeOptions(*stream);
                break;
            default:
                break;
            }
        }
        }
        if (outcome == Outcome::ended) return 0;
    }
}

void StreamEditor::listStreams() {
    const int capacity = getMSNr();
    int defined = 0;
    for (int stream = 1; stream <= capacity; ++stream) {
        if (isSDef(stream) == 0) continue;
        ++defined;
        say("stream " + std::to_string(stream) + "  components " + std::to_string(getCNr(stream)) +
            "  name \"" + orEmpty(StrN(stream)) + "\"" + (isSopDef(stream) != 0 ? "  operating point set" : "") +
            endl);
    }
    say(std::to_string(defined) + " of " + std::to_string(capacity) + " streams defined" + endl);
}

void StreamEditor::showStream(int stream) {
    say("stream " + std::to_string(stream) + "  name \"" + orEmpty(StrN(stream)) + "\"  " +
        (isSDef(stream) != 0 ? "defined" : "not defined") + endl);
    say("  mass flow " + valueIn(getWm(stream), massFlowQuantity) + endl);
    const int count = getCNr(stream);
    say("  components " + std::to_string(count) + endl);
    for (int i = 1; i <= count; ++i) {
        const int code = getCC(stream, i);
        say("    " + std::to_string(i) + "  " + formatCas(CompID(code)) + "  " + orEmpty(CompN(code)) +
            "  fraction " + number(getZ(stream, i)) + endl);
    }
    say(std::string("  models      vapour  liquid   solid hydrate") + endl);
    for (int property = 1; property <= 4; ++property) {
        std::string row = std::string("  ") + propertyNames[property - 1];
        row.resize(12, ' ');
        for (int phase = 0; phase <= 3; ++phase) {
            std::string cell = std::to_string(getMP(stream, property, phase));
            row += std::string(8 - std::min<std::size_t>(cell.size(), 7), ' ') + cell;
        }
        say(row + endl);
    }
    say("  options " + std::to_string(getKO(stream)) + endl);
    if (isSopDef(stream) != 0) {
        say("  operating point T " + valueIn(getT(stream), temperatureQuantity) + "  P " +
            valueIn(getP(stream), pressureQuantity) + endl);
        showState(stream);
    } else {
        say(std::string("  no operating point") + endl);
    }
}

void StreamEditor::showState(int stream) {
    // The phases of the stream's equilibrium, numbered 1..n by the library.
    const int most = getFPNr();
    std::vector<int> kinds;
    for (int phase = 1; phase <= most && isValidPhase(stream, phase) == 1; ++phase)
        kinds.push_back(StrPt(stream, phase));
    say("  phases " + std::to_string(kinds.size()) + endl);
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        const int phase = static_cast<int>(i) + 1;
        const int kind = kinds[i];
        const std::string name = kind >= 0 && kind <= 3 ? phaseNames[kind] : "unknown";
        say("    " + std::to_string(phase) + "  " + name + "  mole fraction " + number(StrPf(stream, phase)) +
            endl);
    }
    // Density and specific enthalpy per kind of phase: the library reports
    // the vapour, all liquid phases together and all solids together.
    struct Part {
        int kind;
        const char* one;
        const char* several;
        double (*density)(int);
        double (*enthalpy)(int);
    };
    static const Part parts[] = {{0, "vapour", "vapour", StrGD, StrSGH},
                                 {1, "liquid", "liquids together", StrLD, StrSLH},
                                 {2, "solid", "solids together", StrSD, StrSSH}};
    for (const Part& part : parts) {
        const auto n = std::count(kinds.begin(), kinds.end(), part.kind);
        if (n == 0) continue;
        say(std::string("  ") + (n > 1 ? part.several : part.one) + "  density " +
            computed(part.density(stream), densityQuantity) + "  specific enthalpy " +
            computed(part.enthalpy(stream), specificEnthalpyQuantity) + endl);
    }
}

StreamEditor::Outcome StreamEditor::setComponents(int stream) {
    int limit = getMCNr();
    if (limit < 1) limit = 1;
    const auto count = askInt("number of components (1-" + std::to_string(limit) + ") -> ", 1, limit);
    if (!count) return failed();
    std::vector<int> codes;
    std::vector<double> fractions;
    for (int i = 1; i <= *count; ++i) {
        const auto code = askComponent("component " + std::to_string(i) + " CAS number -> ");
        if (!code) return failed();
        const auto fraction = askDouble("component " + std::to_string(i) + " fraction -> ", 0.0, 1.0e300);
        if (!fraction) return failed();
        codes.push_back(*code);
        fractions.push_back(*fraction);
    }
    // Redefine the stream from scratch, keeping what the operator set before.
    const bool defined = isSDef(stream) != 0;
    const Definition before = defined ? readDefinition(stream) : Definition{};
    const bool hadOperatingPoint = isSopDef(stream) != 0;
    const double t = hadOperatingPoint ? getT(stream) : 0;
    const double p = hadOperatingPoint ? getP(stream) : 0;
    initS(stream);
    setWm(stream, defined ? before.flow : 1.0);
    if (defined) {
        for (int property = 1; property <= 4; ++property)
            for (int phase = 0; phase <= 3; ++phase)
                if (before.models[property - 1][phase] > 0)
                    setMP(stream, property, phase, before.models[property - 1][phase]);
    }
    for (int i = 1; i <= *count; ++i) putZ(stream, i, fractions[i - 1]);
    for (int i = 1; i <= *count; ++i) putCC(stream, i, codes[i - 1]);
    if (defined) putKO(stream, before.options);
    complete(stream, hadOperatingPoint, t, p);
    say("stream " + std::to_string(stream) + " now has " + std::to_string(getCNr(stream)) + " components" +
        endl);
    return Outcome::ok;
}

StreamEditor::Outcome StreamEditor::changeFractions(int stream) {
    const int count = getCNr(stream);
    if (count < 1) {
        say(std::string("the stream has no components") + endl);
        return Outcome::cancelled;
    }
    std::vector<double> fractions;
    for (int i = 1; i <= count; ++i) {
        const auto fraction = askDouble("fraction of " + std::string(orEmpty(CompN(getCC(stream, i)))) + " (now " +
                                            number(getZ(stream, i)) + ") -> ",
                                        0.0, 1.0e300);
        if (!fraction) return failed();
        fractions.push_back(*fraction);
    }
    const bool hadOperatingPoint = isSopDef(stream) != 0;
    const double t = hadOperatingPoint ? getT(stream) : 0;
    const double p = hadOperatingPoint ? getP(stream) : 0;
    for (int i = 1; i <= count; ++i) putZ(stream, i, fractions[i - 1]);
    complete(stream, hadOperatingPoint, t, p);
    return Outcome::ok;
}

StreamEditor::Outcome StreamEditor::changeFlow(int stream) {
    const auto flow =
        askDouble(unitPrompt("mass flow", massFlowQuantity) + " (now " + number(getWm(stream)) + ") -> ", 0.0,
                  std::numeric_limits<double>::max());
    if (!flow) return failed();
    if (setWm(stream, *flow) == 0) reportFailure("setting the mass flow");
    return Outcome::ok;
}

StreamEditor::Outcome StreamEditor::changeModels(int stream) {
    const auto property = askInt("property (1 fugacity, 2 enthalpy, 3 entropy, 4 volume, 0 all) -> ", 0, 4);
    if (!property) return failed();
    const auto phase = askInt("phase (0 vapour, 1 liquid, 2 solid, 3 hydrate) -> ", 0, 3);
    if (!phase) return failed();
    const auto model = askInt("model number -> ", 1, std::numeric_limits<int>::max());
    if (!model) return failed();
    const bool hadOperatingPoint = isSopDef(stream) != 0;
    const double t = hadOperatingPoint ? getT(stream) : 0;
    const double p = hadOperatingPoint ? getP(stream) : 0;
    const int first = *property == 0 ? 1 : *property;
    const int last = *property == 0 ? 4 : *property;
    for (int prop = first; prop <= last; ++prop) {
        if (setMP(stream, prop, *phase, *model) == 0) {
            say("model " + std::to_string(*model) + " rejected for " + propertyNames[prop - 1] + " of the " +
                phaseNames[*phase] + endl);
        }
    }
    if (getCNr(stream) > 0) complete(stream, hadOperatingPoint, t, p);
    return Outcome::ok;
}

StreamEditor::Outcome StreamEditor::setOperatingPoint(int stream) {
    const auto t = askDouble(unitPrompt("temperature", temperatureQuantity) + " -> ", 0.0,
                             std::numeric_limits<double>::max());
    if (!t) return failed();
    const auto p =
        askDouble(unitPrompt("pressure", pressureQuantity) + " -> ", 0.0, std::numeric_limits<double>::max());
    if (!p) return failed();
    if (setOp(stream, *t, *p) == 0) {
        reportFailure("setOp");
    } else {
        say("operating point set: T " + valueIn(getT(stream), temperatureQuantity) + "  P " +
            valueIn(getP(stream), pressureQuantity) + endl);
    }
    return Outcome::ok;
}

StreamEditor::Outcome StreamEditor::changeOptions(int stream) {
    const auto options = askInt("options (now " + std::to_string(getKO(stream)) + ") -> ", 0,
                                std::numeric_limits<int>::max());
    if (!options) return failed();
    if (putKO(stream, *options) == 0) reportFailure("setting the options");
    return Outcome::ok;
}

StreamEditor::Outcome StreamEditor::saveArchive() {
    const auto path = askText("archive file to write -> ");
    if (!path) return failed();
    if (AFSave(path->c_str()) == 1) {
        say("saved " + *path + endl);
    } else {
        reportFailure("saving the archive");
    }
    return Outcome::ok;
}

StreamEditor::Outcome StreamEditor::openArchive() {
    const auto path = askText("archive file to read -> ");
    if (!path) return failed();
    if (AFOpen(path->c_str()) == 1) {
        say("opened " + *path + endl);
    } else {
        reportFailure("opening the archive");
    }
    return Outcome::ok;
}

} // namespace zpkx
