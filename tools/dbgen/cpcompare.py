#!/usr/bin/env python3
"""Compares the ideal-gas heat-capacity sources available for a component
(GERG-2008, the CoolProp reference equation, ChemSep/DIPPR, TRC, Poling,
NeqSim, JANAF tables) and prints a Markdown table of Cp in J/(mol K).

Usage: cpcompare.py [--ref DIR] CAS:T1,T2,... [CAS:T...]
"""
import argparse
import json
import os
import sys

sys.path.insert(0, os.path.dirname(__file__))
import dbgen  # noqa: E402

R = dbgen.R

def janaf(ref):
    with open(os.path.join(ref, "chemicals", "Heat Capacity", "JANAF_1998_gas_Cp.json")) as f:
        d = json.load(f)
    out = {}
    for k, v in d.items():
        c = dbgen.cas_to_int(k)
        if c and v and len(v) >= 2:
            out[c] = (v[0], v[1])
    return out


def interp(table, T):
    ts, cps = table
    for i in range(1, len(ts)):
        if ts[i - 1] <= T <= ts[i] and ts[i - 1] > 0:
            w = (T - ts[i - 1]) / (ts[i] - ts[i - 1])
            return cps[i - 1] + w * (cps[i] - cps[i - 1])
    return None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--ref", default="/work/shared/reference-data")
    ap.add_argument("items", nargs="+")
    args = ap.parse_args()
    ref = args.ref
    ch = lambda *p: os.path.join(ref, "chemicals", *p)
    cs_corr = {}
    for r in dbgen.read_tsv(os.path.join(ref, "derived", "chemsep832_correlations.tsv")):
        c = dbgen.cas_to_int(r["CAS"])
        if c:
            cs_corr.setdefault(c, {})[r["property"]] = (int(r["eqno"]), [dbgen.num(r[k]) for k in "ABCDEF"],
                                                        dbgen.num(r["Tmin"]), dbgen.num(r["Tmax"]))
    trc = {}
    for r in dbgen.read_tsv(ch("Heat Capacity", "TRC Thermodynamics of Organic Compounds in the Gas State.tsv")):
        c = dbgen.cas_to_int(r["CAS"])
        if c and c not in trc:
            trc[c] = ([dbgen.num(r["a%d" % k]) for k in range(8)], dbgen.num(r["Tmin"]), dbgen.num(r["Tmax"]))
    poling = {}
    for r in dbgen.read_tsv(ch("Heat Capacity", "PolingDatabank.tsv")):
        c = dbgen.cas_to_int(r["CAS"])
        if c and c not in poling:
            poling[c] = ([dbgen.num(r["a%d" % k]) or 0.0 for k in range(5)], dbgen.num(r["Tmin"]),
                         dbgen.num(r["Tmax"]))
    nq = {}
    import csv
    with open(os.path.join(ref, "neqsim", "COMP.csv"), newline="") as f:
        for r in csv.DictReader(f):
            c = dbgen.cas_to_int(r.get("CASnumber"))
            if c and c not in nq:
                nq[c] = r
    coolprop = dbgen.load_coolprop(os.path.join(ref, "coolprop", "fluids"))
    jan = janaf(ref)

    for item in args.items:
        cas_s, temps = item.split(":")
        cas = int(cas_s)
        temps = [float(t) for t in temps.split(",")]
        cands = dbgen.cp_candidates(cas, cs_corr, trc, poling, coolprop, nq)
        g = dbgen.gerg_terms(ref, cas)
        cols = []
        if g:
            cols.append(("GERG-2008", lambda T, g=g: dbgen.gerg_cp(g, T)))
        for name, form, tmin, tmax, coeffs in cands:
            label = {"CoolProp": "ref. EOS (CoolProp)", "ChemSep": "ChemSep/DIPPR"}.get(name, name)
            cols.append((label, lambda T, f=form, k=coeffs: dbgen.cp_value(f, k, T)))
        if cas in jan:
            cols.append(("JANAF", lambda T: interp(jan[cas], T)))
        print(f"\n{dbgen.cas_text(cas)} ideal-gas Cp, J/(mol K)\n")
        print("| T, K | " + " | ".join(c[0] for c in cols) + " |")
        print("|---|" + "---|" * len(cols))
        for T in temps:
            vals = []
            for _, fn in cols:
                v = fn(T)
                vals.append("" if v is None else f"{v:.3f}")
            print(f"| {T:g} | " + " | ".join(vals) + " |")


if __name__ == "__main__":
    main()
