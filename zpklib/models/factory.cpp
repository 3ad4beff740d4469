#include "models/factory.h"
#include "core/data_files.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <utility>

#include "core/error.h"
#include "models/activity.h"
#include "models/bwrs.h"
#include "models/cpa.h"
#include "models/cubic.h"
#include "models/cubic_ge.h"
#include "models/gerg2008.h"
#include "models/iapws95.h"
#include "models/lee_kesler.h"
#include "models/regular.h"


namespace zpk::models {

namespace {

struct KijTable {
    std::map<std::pair<std::int64_t, std::int64_t>, std::pair<double, double>> pairs;  // srk, pr
};

const KijTable& kijTable() {
    static const KijTable table = [] {
        KijTable t;
        if (std::ifstream in = openDataFile("bip_cubic.tsv"); in) {
            std::string line;
            while (std::getline(in, line)) {
                if (line.empty() || line[0] == '#' || line[0] == 'c') continue;
                std::istringstream ls(line);
                std::int64_t a, b;
                double ks, kp;
                if (!(ls >> a >> b >> ks >> kp)) continue;
                if (a > b) std::swap(a, b);
                t.pairs[{a, b}] = {ks, kp};
            }
        }
        return t;
    }();
    return table;
}

constexpr int kIapws95Code = 300;
constexpr int kGerg2008Code = 315;
constexpr std::int64_t kWaterCas = 7732185;

bool isVdwCubic(int code) { return code == 30 || code == 31 || code == 50 || code == 51; }

std::shared_ptr<const PhaseModel> buildCubic(int code, const ModelInputs& in) {
    const bool srk = code == 30 || code == 31;
    const bool translated = code == 31 || code == 51;
    const int n = static_cast<int>(in.pure.size());
    // Explicit entries: those of this model first, then those of another
    // van der Waals cubic for pairs this model has none for.
    std::map<std::pair<int, int>, BinaryKij> chosen;
    for (int pass = 0; pass < 2; ++pass)
        for (const auto& e : in.bips) {
            if (e.i < 1 || e.j < 1 || e.i > n || e.j > n || e.i == e.j) continue;
            const bool mine = e.model == code;
            if ((pass == 0) != mine) continue;
            if (!mine && !isVdwCubic(e.model)) continue;
            const std::pair<int, int> key{std::min(e.i, e.j) - 1, std::max(e.i, e.j) - 1};
            if (pass == 1 && chosen.count(key)) continue;
            const double T0 = kKijReferenceT;
            // p0 + p1 (T/T0 - 1) + p2 (T0/T - 1)  ->  k0 + k1 T + k2 / T
            chosen[key] = {key.first, key.second, e.p[0] - e.p[1] - e.p[2], e.p[1] / T0, e.p[2] * T0};
        }
    if (in.bipLoadLevel >= 0)
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) {
                if (chosen.count({i, j})) continue;
                double k;
                if (storedKij(in.cas[i], in.cas[j], srk, k)) chosen[{i, j}] = {i, j, k, 0.0, 0.0};
            }
    std::vector<BinaryKij> kij;
    for (const auto& [key, v] : chosen) kij.push_back(v);
    return std::make_shared<CubicModel>(srk ? CubicKind::SRK : CubicKind::PR, translated, in.pure, kij);
}

}  // namespace

bool storedKij(std::int64_t a, std::int64_t b, bool srk, double& kij) {
    if (a > b) std::swap(a, b);
    const auto& t = kijTable().pairs;
    auto it = t.find({a, b});
    if (it == t.end()) return false;
    kij = srk ? it->second.first : it->second.second;
    return true;
}

bool canBuild(int code) {
    return code == 1 || isVdwCubic(code) || code == kIapws95Code || code == kGerg2008Code ||
           isActivityCode(code) || code == 91 || code == 81 || isCubicGeCode(code) || code == 111 ||
           code == 115 || code == 116;
}

std::shared_ptr<const PhaseModel> buildPhaseModel(int code, const ModelInputs& in) {
    if (code == 1) {
        std::vector<SaturationCorrelations> corr(in.pure.size());
        for (std::size_t i = 0; i < in.comps.size() && i < corr.size(); ++i) {
            const components::Component* c = in.comps[i];
            if (!c) continue;
            if (c->vp.eq != 0)
                corr[i].lnPsat = [c](double T) {
                    const double p = components::evaluate(c->vp, T);
                    return p > 0 ? std::log(p) : kNaN;
                };
            // Stored per kmol: J/kmol -> J/mol; zero above the critical temperature.
            if (c->hv.eq != 0)
                corr[i].latentHeat = [c](double T) {
                    const double h = components::evaluate(c->hv, T) * 1e-3;
                    return T < c->tc && h > 0 ? h : kNaN;
                };
        }
        return std::make_shared<RegularModel>(in.pure, corr);
    }
    if (isVdwCubic(code)) return buildCubic(code, in);
    if (isCubicGeCode(code)) return buildCubicGe(code, in);
    if (code == 91) return buildLeeKesler(in);
    if (code == 81) return buildBwrs(in);
    if (code == 111) return buildCpa(in);
    if (code == 115 || code == 116) return buildCpaGe(code, in);
    if (isActivityCode(code)) return buildActivityModel(code, in);
    if (code == kIapws95Code) {
        // IAPWS-95 describes pure water only.
        if (in.cas.size() != 1 || in.cas[0] != kWaterCas)
            throw Error("model 300 (IAPWS-95) applies to a stream of pure water only", kBadArgument);
        return std::make_shared<Iapws95Model>();
    }
    // GERG-2008 covers 21 natural-gas components; others are rejected by the model.
    if (code == kGerg2008Code) return std::make_shared<Gerg2008Model>(in.cas);
    throw Error("model " + std::to_string(code) + " is not available yet", kNotImplemented);
}

}  // namespace zpk::models
