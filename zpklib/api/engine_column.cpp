// C function of the distillation column: reads the feeds and the arrays,
// converts units, solves the column and writes the products, duties and
// component flows.  Nothing is written unless the column converged.
#include <cmath>
#include <string>

#include "api/engine_common.h"
#include "core/error.h"
#include "operations/column.h"
#include "units/units.h"
#include "zpk/zpk.h"

using namespace zpk;

namespace {

// The last converged profile of the calling thread (start of mode 1).
thread_local operations::ColumnProfile lastProfile;

template <class T> void requireArray(const T* p, const char* what) {
    if (!p) core::fail(std::string(what) + " array is missing (null)");
}

} // namespace

extern "C" {

// DCOL: see docs/column.md for the meaning of every argument.
int DCOL(int kind, int nStages, int mode, double* heat, double* stagePressures, double* efficiency,
         double* guessT, int topStream, int bottomStream, int nFeeds, int* feedStreams, int* feedStages,
         int nDraws, int* drawStreams, int* drawStages, int* drawKinds, double* drawAmounts, int nSpecs,
         double* duties, int* specA, int* specB, int* specC, double* specValues, double* results) {
    return guarded("DCOL", 0, [&] {
        if (kind != 1) core::fail("column kind " + std::to_string(kind) + " is not 1 (partial condenser)");
        if (nStages < 2 || nStages > 500)
            core::fail("number of stages " + std::to_string(nStages) + " is not in 2..500");
        if (mode != 0 && mode != 1)
            core::fail("mode " + std::to_string(mode) + " is not 0 (new) or 1 (continue)");
        requireArray(stagePressures, "stage pressure");
        if (nFeeds < 1 || nFeeds > 100)
            core::fail("number of feeds " + std::to_string(nFeeds) + " is not in 1..100");
        requireArray(feedStreams, "feed stream");
        requireArray(feedStages, "feed stage");
        if (nDraws < 0 || nDraws > 100)
            core::fail("number of side draws " + std::to_string(nDraws) + " is not in 0..100");
        if (nDraws > 0) {
            requireArray(drawStreams, "side-draw stream");
            requireArray(drawStages, "side-draw stage");
            requireArray(drawKinds, "side-draw kind");
            requireArray(drawAmounts, "side-draw amount");
        }
        if (nSpecs < 0 || nSpecs > 2)
            core::fail("number of specifications " + std::to_string(nSpecs) + " is not 0, 1 or 2");
        if (nSpecs > 0) {
            requireArray(specA, "specification place");
            requireArray(specB, "specification kind");
            requireArray(specC, "specification component");
            requireArray(specValues, "specification value");
        }
        streams::checkNumber(topStream);
        streams::checkNumber(bottomStream);
        if (topStream == bottomStream) core::fail("top and bottom product are the same stream");

        operations::ColumnInput in;
        in.stages = nStages;
        in.pressure.resize(nStages);
        in.heat.assign(nStages, 0.0);
        in.efficiency.assign(nStages, 1.0);
        in.guessT.assign(nStages, 0.0);
        for (int k = 0; k < nStages; ++k) {
            in.pressure[k] = api::userP(stagePressures[k]);
            if (heat)
                in.heat[k] = units::fromUser(units::EnthalpyFlow, core::requireFinite("stage heat", heat[k]));
            if (efficiency) {
                const double e = core::requireFinite("stage efficiency", efficiency[k]);
                if (!(e > 0 && e <= 1))
                    core::fail("stage efficiency " + std::to_string(e) + " of stage " +
                               std::to_string(k + 1) + " is not in (0, 1]");
                in.efficiency[k] = e;
            }
            if (guessT && guessT[k] != 0) in.guessT[k] = api::userT(guessT[k]);
        }
        for (int k = 0; k < nFeeds; ++k) {
            operations::ColumnFeed f;
            api::StreamView v;
            f.state = api::currentState(feedStreams[k], &v);
            f.def = v.def;
            f.stage = feedStages[k];
            in.feeds.push_back(std::move(f));
        }
        for (int k = 0; k < nDraws; ++k) {
            streams::checkNumber(drawStreams[k]);
            if (drawStreams[k] == topStream || drawStreams[k] == bottomStream)
                core::fail("side draw " + std::to_string(k + 1) + " uses a product stream");
            for (int q = 0; q < k; ++q)
                if (drawStreams[q] == drawStreams[k]) core::fail("two side draws use the same stream");
            in.draws.push_back(
                {drawStages[k], drawKinds[k], core::requireFinite("side-draw amount", drawAmounts[k])});
        }
        for (int k = 0; k < nSpecs; ++k) {
            operations::ColumnSpec s;
            s.place = specA[k];
            s.quantity = specB[k];
            s.component = specC[k];
            const double v = core::requireFinite("specification value", specValues[k]);
            if (s.quantity == operations::kDuty)
                s.value = units::fromUser(units::EnthalpyFlow, v);
            else if (s.quantity == operations::kTemperature)
                s.value = api::userT(v);
            else
                s.value = v;
            in.specs.push_back(s);
        }
        if (mode == 1) in.start = &lastProfile;

        const operations::ColumnResult r = operations::solveColumn(in);

        api::writeProduct(topStream, r.top);
        api::writeProduct(bottomStream, r.bottom);
        for (int k = 0; k < nDraws; ++k)
            api::writeProduct(drawStreams[k], r.draws[k]);
        if (duties) {
            double added = r.reboilerDuty;
            for (double q : in.heat)
                added += q;
            duties[0] = units::toUser(units::EnthalpyFlow, added);
            duties[1] = units::toUser(units::EnthalpyFlow, r.condenserDuty);
        }
        if (results) {
            const int c = static_cast<int>(r.topFlows.size());
            for (int i = 0; i < c; ++i) {
                results[i] = units::toUser(units::MolarFlow, r.topFlows[i]);
                results[c + i] = units::toUser(units::MolarFlow, r.bottomFlows[i]);
            }
            for (int k = 0; k < nStages; ++k)
                results[2 * c + k] = api::outT(r.T[k]);
        }
        lastProfile = r.profile;
        return 1;
    });
}

} // extern "C"
