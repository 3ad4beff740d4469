#!/usr/bin/env python3
"""Builds data/components.tsv, the library's component database, from the
public data tables in a reference-data folder (see docs/components.md for the
sources, the order of preference per property and the file format).

Usage: dbgen.py [--ref DIR] [--out FILE]

The output is deterministic: the same input tables give the same file.
"""
import argparse
import csv
import json
import math
import os
import re
import sys

R = 8.314462618  # J/(mol K)
DEBYE = 3.33564e-30  # C m

# ---------------------------------------------------------------------------
# CAS numbers


def cas_to_int(text):
    """'74-82-8' -> 74828; None when malformed or the check digit is wrong.
    Some tables drop the leading zero of the middle part ('50-0-0'); it is
    restored before checking."""
    if text is None:
        return None
    text = str(text).strip()
    m = re.fullmatch(r"(\d{2,7})-(\d{1,2})-(\d)", text)
    if not m:
        if re.fullmatch(r"\d{5,10}", text):
            digits = text
        else:
            return None
    else:
        digits = m.group(1) + m.group(2).zfill(2) + m.group(3)
    body, check = digits[:-1], int(digits[-1])
    total = sum((i + 1) * int(d) for i, d in enumerate(reversed(body)))
    if total % 10 != check:
        return None
    value = int(digits)
    if value <= 0 or value > 2147483647:
        return None
    return value


def cas_text(value):
    s = str(value)
    return f"{s[:-3]}-{s[-3:-1]}-{s[-1]}"


# ---------------------------------------------------------------------------
# numbers


def num(text):
    if text is None:
        return None
    text = str(text).strip()
    if text == "" or text.lower() in ("nan", "none", "null"):
        return None
    try:
        v = float(text)
    except ValueError:
        return None
    return v if math.isfinite(v) else None


def fmt(v):
    if v is None:
        return ""
    return repr(float(v)) if abs(v) >= 1e-4 or v == 0 else f"{v:.10g}"


# ---------------------------------------------------------------------------
# formulas: from SMILES, atomic masses, Hill order

ATOMIC_MASS = {  # IUPAC standard atomic weights (abridged values)
    "H": 1.008, "He": 4.002602, "Li": 6.94, "Be": 9.0121831, "B": 10.81, "C": 12.011, "N": 14.007,
    "O": 15.999, "F": 18.998403163, "Ne": 20.1797, "Na": 22.98976928, "Mg": 24.305, "Al": 26.9815385,
    "Si": 28.085, "P": 30.973761998, "S": 32.06, "Cl": 35.45, "Ar": 39.948, "K": 39.0983, "Ca": 40.078,
    "Ti": 47.867, "V": 50.9415, "Cr": 51.9961, "Mn": 54.938044, "Fe": 55.845, "Co": 58.933194,
    "Ni": 58.6934, "Cu": 63.546, "Zn": 65.38, "Ga": 69.723, "Ge": 72.630, "As": 74.921595, "Se": 78.971,
    "Br": 79.904, "Kr": 83.798, "Rb": 85.4678, "Sr": 87.62, "Zr": 91.224, "Mo": 95.95, "Ag": 107.8682,
    "Cd": 112.414, "In": 114.818, "Sn": 118.710, "Sb": 121.760, "Te": 127.60, "I": 126.90447,
    "Xe": 131.293, "Cs": 132.90545196, "Ba": 137.327, "W": 183.84, "Pt": 195.084, "Au": 196.966569,
    "Hg": 200.592, "Tl": 204.38, "Pb": 207.2, "Bi": 208.98040, "Rn": 222.0, "U": 238.02891, "D": 2.014102,
}

# Standard entropies of the elements in their reference states at 298.15 K and
# 1 bar, J/(mol K) per atom (CODATA key values; H, N, O, F, Cl as half of the
# diatomic gas, Br as half of the liquid, I as half of the solid).
ELEMENT_S0 = {
    "C": 5.74, "H": 130.680 / 2, "O": 205.152 / 2, "N": 191.609 / 2, "S": 32.054, "Cl": 223.081 / 2,
    "F": 202.791 / 2, "Br": 152.21 / 2, "I": 116.14 / 2, "Si": 18.81, "P": 41.09, "B": 5.90,
    "He": 126.153, "Ne": 146.328, "Ar": 154.846, "Kr": 164.085, "Xe": 169.685,
}

ORGANIC_VALENCE = {"B": [3], "C": [4], "N": [3, 5], "O": [2], "P": [3, 5], "S": [2, 4, 6],
                   "F": [1], "Cl": [1], "Br": [1], "I": [1]}


def smiles_formula(smiles):
    """Element counts of a SMILES string (implicit hydrogens included), or
    None for constructs this small parser does not handle."""
    if not smiles or "*" in smiles:
        return None
    counts = {}
    atoms = []  # [element, bond order sum, aromatic, explicit_h or None]
    i = 0
    prev = None
    stack = []
    rings = {}
    bond = None

    def add(el, n=1):
        counts[el] = counts.get(el, 0) + n

    def connect(a, b, order):
        atoms[a][1] += order
        atoms[b][1] += order

    def bond_order(sym, a, b):
        if sym == "=":
            return 2
        if sym == "#":
            return 3
        if sym == "$":
            return 4
        if sym == ":":
            return 1
        return 1

    s = smiles
    while i < len(s):
        ch = s[i]
        if ch == ".":
            prev = None
            i += 1
            continue
        if ch in "-=#$:/\\":
            bond = ch
            i += 1
            continue
        if ch == "(":
            stack.append(prev)
            i += 1
            continue
        if ch == ")":
            if not stack:
                return None
            prev = stack.pop()
            i += 1
            continue
        if ch.isdigit() or ch == "%":
            if ch == "%":
                label = s[i + 1:i + 3]
                i += 3
            else:
                label = ch
                i += 1
            if prev is None:
                return None
            if label in rings:
                other, obond = rings.pop(label)
                connect(prev, other, bond_order(bond or obond, prev, other))
            else:
                rings[label] = (prev, bond)
            bond = None
            continue
        if ch == "[":
            j = s.find("]", i)
            if j < 0:
                return None
            inner = s[i + 1:j]
            i = j + 1
            m = re.fullmatch(r"(\d*)([A-Z][a-z]?|[a-z][a-z]?)(@*)(?:H(\d*))?([+-]*\d*)(?::\d+)?", inner)
            if not m:
                return None
            el = m.group(2)
            aromatic = el[0].islower()
            el = el.capitalize()
            if el == "H" and m.group(1) == "2":
                el = "D"  # deuterium
            if el not in ATOMIC_MASS:
                return None
            h = 0
            if "H" in inner[len(m.group(1)) + len(m.group(2)):] and m.group(4) is not None:
                h = int(m.group(4)) if m.group(4) else 1
            atoms.append([el, 0, aromatic, h])
        else:
            m = re.match(r"Cl|Br|[BCNOPSFI]|[bcnops]", s[i:])
            if not m:
                return None
            el = m.group(0)
            i += len(el)
            aromatic = el.islower()
            atoms.append([el.capitalize(), 0, aromatic, None])
        idx = len(atoms) - 1
        if prev is not None:
            connect(prev, idx, bond_order(bond, prev, idx))
        bond = None
        prev = idx
    if rings or stack:
        return None
    for el, bonds, aromatic, h in atoms:
        add(el)
        if h is None:
            valences = ORGANIC_VALENCE.get(el)
            if valences is None:
                return None
            # an aromatic C, N, B or P gives one electron to the ring (one more
            # bond); aromatic O and S give a lone pair and keep their valence
            used = bonds + (1 if aromatic and el in ("C", "N", "B", "P") else 0)
            target = next((v for v in valences if v >= used), None)
            if target is None:
                h = 0
            else:
                h = target - used
        if h:
            add("H", h)
    return counts


def parse_formula(text):
    """'C2H6O' -> counts; None when not a plain molecular formula."""
    if not text or not re.fullmatch(r"([A-Z][a-z]?\d*)+", text):
        return None
    counts = {}
    for el, n in re.findall(r"([A-Z][a-z]?)(\d*)", text):
        if el not in ATOMIC_MASS:
            return None
        counts[el] = counts.get(el, 0) + (int(n) if n else 1)
    return counts


def hill(counts):
    def part(el):
        n = counts[el]
        return el + (str(n) if n != 1 else "")
    keys = sorted(counts)
    if "C" in counts:
        order = ["C"] + (["H"] if "H" in counts else []) + [k for k in keys if k not in ("C", "H")]
    else:
        order = keys
    return "".join(part(k) for k in order)


def formula_mass(counts):
    return sum(ATOMIC_MASS[el] * n for el, n in counts.items())


# ---------------------------------------------------------------------------
# readers


def read_tsv(path, header=True):
    with open(path, encoding="utf-8", errors="replace", newline="") as f:
        rows = list(csv.reader(f, delimiter="\t", quoting=csv.QUOTE_NONE))
    if not header:
        return rows
    head = rows[0]
    return [dict(zip(head, r)) for r in rows[1:] if r]


def read_clapeyron(path, sep=None):
    with open(path, encoding="utf-8", errors="replace", newline="") as f:
        lines = f.read().splitlines()
    title = lines[1]
    if sep is None:
        m = re.search(r"sep\s*=\s*(.)", title)
        sep = m.group(1) if m else ","
    rows = list(csv.reader(lines[2:], delimiter=sep))
    head = [h.strip() for h in rows[0]]
    return [dict(zip(head, r)) for r in rows[1:] if r]


class Source:
    """A table of values keyed by integer CAS, with a short name for the
    provenance notes."""

    def __init__(self, name):
        self.name = name
        self.data = {}

    def put(self, cas, value):
        if cas is not None and value is not None and cas not in self.data:
            self.data[cas] = value

    def get(self, cas):
        return self.data.get(cas)


def pick(cas, *sources):
    for s in sources:
        v = s.get(cas)
        if v is not None:
            return v, s.name
    return None, None


# ---------------------------------------------------------------------------


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--ref", default="/work/shared/reference-data")
    ap.add_argument("--out", default=os.path.join(os.path.dirname(__file__), "..", "..", "data", "components.tsv"))
    ap.add_argument("--report", default=None, help="write per-field provenance counts here")
    args = ap.parse_args()
    ref = args.ref
    ch = lambda *p: os.path.join(ref, "chemicals", *p)

    # --- sources ----------------------------------------------------------
    S = {}

    def src(key, name):
        S[key] = Source(name)
        return S[key]

    # ChemSep 8.32 scalars
    cs = {}
    for r in read_tsv(os.path.join(ref, "derived", "chemsep832_scalars.tsv")):
        c = cas_to_int(r["CAS"])
        if c:
            cs[c] = r
    cs_tc, cs_pc, cs_vc, cs_om = src("cs_tc", "ChemSep"), src("cs_pc", "ChemSep"), src("cs_vc", "ChemSep"), src("cs_om", "ChemSep")
    cs_tb, cs_tm, cs_mw = src("cs_tb", "ChemSep"), src("cs_tm", "ChemSep"), src("cs_mw", "ChemSep")
    cs_hf, cs_gf, cs_s0 = src("cs_hf", "ChemSep"), src("cs_gf", "ChemSep"), src("cs_s0", "ChemSep")
    cs_hfus, crc_hfus = src("cs_hfus", "ChemSep"), src("crc_hfus", "CRC")
    for r in read_tsv(ch("Phase Change", "CRC Handbook Heat of Fusion.tsv")):
        v = num(r.get("Hfus"))
        if v and v > 0:
            crc_hfus.put(cas_to_int(r.get("CAS")), v)
    cs_dm, cs_rg, cs_zra, cs_sol = src("cs_dm", "ChemSep"), src("cs_rg", "ChemSep"), src("cs_zra", "ChemSep"), src("cs_sol", "ChemSep")
    cs_smiles = {}
    for c, r in cs.items():
        cs_tc.put(c, num(r["CriticalTemperature [K]"]))
        cs_pc.put(c, num(r["CriticalPressure [Pa]"]))
        cs_vc.put(c, num(r["CriticalVolume [m3/kmol]"]))
        cs_om.put(c, num(r["AcentricityFactor"]))
        cs_tb.put(c, num(r["NormalBoilingPointTemperature [K]"]))
        cs_tm.put(c, num(r["NormalMeltingPointTemperature [K]"]))
        cs_mw.put(c, num(r["MolecularWeight [kg/kmol]"]))
        v = num(r["HeatOfFormation [J/kmol]"])
        g = num(r["GibbsEnergyOfFormation [J/kmol]"])
        # ChemSep writes 0 for "unknown" in several records; 0 is only a
        # genuine formation value for elements in their reference state.
        if v is not None and g is not None and not (v == 0 and g == 0 and c not in ELEMENT_GASES):
            cs_hf.put(c, v / 1000.0)
            cs_gf.put(c, g / 1000.0)
        v = num(r["AbsEntropy [J/kmol/K]"])
        if v:
            cs_s0.put(c, v / 1000.0)
        v = num(r["DipoleMoment [Coulomb.m]"])
        if v is not None:
            cs_dm.put(c, v / DEBYE)
        v = num(r["RadiusOfGyration [m]"])
        if v:
            cs_rg.put(c, v)
        v = num(r["RacketParameter"])
        if v:
            cs_zra.put(c, v)
        v = num(r["HeatOfFusionAtMeltingPoint [J/kmol]"])
        if v:
            cs_hfus.put(c, v / 1000.0)
        v = num(r["SolubilityParameter [J0.5/m1.5]"])
        if v:
            cs_sol.put(c, v)
        if r.get("Smiles"):
            cs_smiles[c] = r["Smiles"].strip()

    # Reference-EOS constants
    heos = {}
    heos_tc, heos_pc, heos_vc, heos_om, heos_tb = (src("heos_" + k, "HEOS") for k in ("tc", "pc", "vc", "om", "tb"))
    for r in read_tsv(ch("Misc", "heos_constants.tsv")):
        c = cas_to_int(r["CAS"])
        heos[c] = r
        heos_tc.put(c, num(r["Tc"]))
        heos_pc.put(c, num(r["Pc"]))
        v = num(r["Vc"])
        heos_vc.put(c, v * 1000 if v else None)
        heos_om.put(c, num(r["omega"]))
        heos_tb.put(c, num(r["Tb"]))

    iupac_tc, iupac_pc, iupac_vc, iupac_mw = (src("iupac_" + k, "IUPAC") for k in ("tc", "pc", "vc", "mw"))
    for r in read_tsv(ch("Critical Properties", "IUPACOrganicCriticalProps.tsv")):
        c = cas_to_int(r["CAS"])
        iupac_tc.put(c, num(r["Tc"]))
        iupac_pc.put(c, num(r["Pc"]))
        v = num(r["Vc"])
        iupac_vc.put(c, v * 1000 if v else None)
        iupac_mw.put(c, num(r["MW"]))
    math_tc, math_pc, math_vc = (src("mat_" + k, "Mathews1972") for k in ("tc", "pc", "vc"))
    for r in read_tsv(ch("Critical Properties", "Mathews1972InorganicCriticalProps.tsv")):
        c = cas_to_int(r["CAS"])
        math_tc.put(c, num(r.get("Tc")))
        math_pc.put(c, num(r.get("Pc")))
        v = num(r.get("Vc"))
        math_vc.put(c, v * 1000 if v else None)

    yaws_tc, yaws_pc, yaws_vc, yaws_om = (src("yaws_" + k, "Yaws") for k in ("tc", "pc", "vc", "om"))
    yaws_name = {}
    for r in read_tsv(ch("Critical Properties", "Yaws Collection.tsv")):
        c = cas_to_int(r["CAS"])
        if not c:
            continue
        yaws_tc.put(c, num(r["Tc"]))
        yaws_pc.put(c, num(r["Pc"]))
        v = num(r["Vc"])
        yaws_vc.put(c, v * 1000 if v else None)
        yaws_om.put(c, num(r["omega"]))
        yaws_name.setdefault(c, r["Chemical"].strip())
    psrk_om = src("psrk_om", "PSRK")
    for r in read_tsv(ch("Critical Properties", "Appendix to PSRK Revision 4.tsv")):
        psrk_om.put(cas_to_int(r["CAS"]), num(r["omega"]))

    cl_tc, cl_pc, cl_vc, cl_om, cl_mw = (src("cl_" + k, "Clapeyron") for k in ("tc", "pc", "vc", "om", "mw"))
    cl_species = {}
    for r in read_clapeyron(os.path.join(ref, "clapeyron", "properties", "critical.csv"), ","):
        c = cas_to_int(r["CAS"])
        if not c:
            continue
        cl_tc.put(c, num(r["Tc"]))
        cl_pc.put(c, num(r["Pc"]))
        v = num(r["Vc"])
        cl_vc.put(c, v * 1000 if v else None)
        cl_om.put(c, num(r["acentricfactor"]))
        cl_species.setdefault(r["species"].strip().lower(), c)
    for r in read_clapeyron(os.path.join(ref, "clapeyron", "properties", "molarmass.csv"), ","):
        c = cas_to_int(r["CAS"])
        if not c:
            continue
        cl_mw.put(c, num(r["Mw"]))
        cl_species.setdefault(r["species"].strip().lower(), c)
    cl_names, cl_smiles = {}, {}
    for r in read_clapeyron(os.path.join(ref, "clapeyron", "properties", "identifiers.csv"), ";"):
        c = cas_to_int(r["CAS"])
        if not c:
            continue
        names = [n.strip() for n in r["species"].split("~|~") if n.strip()]
        cl_names.setdefault(c, names)
        for n in names:
            cl_species.setdefault(n.lower(), c)
        if r.get("SMILES"):
            cl_smiles.setdefault(c, r["SMILES"].strip())

    # identifiers: formula, molar mass, names
    pc_formula, pc_mw, pc_names = {}, src("pc_mw", "PubChem"), {}
    for row in read_tsv(ch("Identifiers", "chemical identifiers pubchem small.tsv"), header=False):
        if len(row) < 9:
            continue
        c = cas_to_int(row[1])
        if not c:
            continue
        pc_formula.setdefault(c, row[2].strip())
        pc_mw.put(c, num(row[3]))
        names = [n.strip() for n in row[8:] if n.strip() and cas_to_int(n.strip()) is None]
        pc_names.setdefault(c, (row[7].strip(), names))
    inorg_formula, inorg_names = {}, {}
    for row in read_tsv(ch("Identifiers", "Inorganic db.tsv"), header=False):
        if len(row) < 9:
            continue
        c = cas_to_int(row[1])
        if c and "." not in row[4]:
            inorg_formula.setdefault(c, row[2].strip())
            inorg_names.setdefault(c, [n.strip() for n in row[8:] if n.strip()])

    # neqsim (natural-gas oriented component list)
    nq = {}
    nq_order = []
    with open(os.path.join(ref, "neqsim", "COMP.csv"), encoding="utf-8", errors="replace", newline="") as f:
        for r in csv.DictReader(f):
            c = cas_to_int(r.get("CASnumber"))
            if not c or c in nq:
                continue
            nq[c] = r
            nq_order.append(c)

    # boiling / melting points
    yb_tb, wb_tb, crc_tb = src("yb_tb", "Yaws"), src("wb_tb", "WebBook"), src("crc_tb", "CRC")
    crc_tm, on_tm, wb_tm = src("crc_tm", "CRC"), src("on_tm", "OpenNotebook"), src("wb_tm", "WebBook")
    for r in read_tsv(ch("Phase Change", "Yaws Boiling Points.tsv")):
        yb_tb.put(cas_to_int(r["CAS"]), num(r["Tb"]))
    for r in read_tsv(ch("Phase Change", "OpenNotebook Melting Points.tsv")):
        on_tm.put(cas_to_int(r["CAS"]), num(r["Tm"]))
    for fn in ("Physical Constants of Organic Compounds.csv", "Physical Constants of Inorganic Compounds.csv"):
        for r in read_tsv(ch("Misc", fn)):
            c = cas_to_int(r.get("CAS"))
            crc_tb.put(c, num(r.get("Tb")))
            crc_tm.put(c, num(r.get("Tm")))
    wb_hf, wb_s0 = src("wb_hf", "WebBook"), src("wb_s0", "WebBook")
    for r in read_tsv(ch("Misc", "webbook_constants.tsv")):
        c = cas_to_int(r["CAS"])
        wb_tb.put(c, num(r["Tb"]))
        wb_tm.put(c, num(r["Tm"]))
        wb_hf.put(c, num(r["Hfg"]))
        v = num(r["S0g"])
        wb_s0.put(c, v)

    # formation properties (kJ/kmol = J/mol)
    crc_hf, crc_gf, crc_s0 = src("crc_hf", "CRC"), src("crc_gf", "CRC"), src("crc_s0", "CRC")
    crc_cp, poling_cp = Source("CRC"), Source("Poling")
    for r in read_tsv(ch("Heat Capacity", "CRC Standard Thermodynamic Properties of Chemical Substances.tsv")):
        c = cas_to_int(r["CAS"])
        crc_hf.put(c, num(r["Hfg"]))
        crc_gf.put(c, num(r["Gfg"]))
        crc_s0.put(c, num(r["S0g"]))
        crc_cp.put(c, num(r["Cpg"]))
    atct_hf = src("atct_hf", "ATcT")
    for r in read_tsv(ch("Reactions", "ATcT 1.112 (g).tsv")):
        atct_hf.put(cas_to_int(r["CAS"]), num(r["Hfg"]))
    yhf, ys0 = src("yaws_hf", "Yaws"), src("yaws_s0", "Yaws")
    for r in read_tsv(ch("Reactions", "Yaws Hf S0 (g).tsv")):
        c = cas_to_int(r["CAS"])
        yhf.put(c, num(r["Hfg"]))
        ys0.put(c, num(r["S0g"]))
    api_hf = src("api_hf", "API-TDB")
    for r in read_tsv(ch("Reactions", "API TDB Albahri Hf (g).tsv")):
        api_hf.put(cas_to_int(r["CAS"]), num(r["Hfg"]))
    clf_hf, clf_s0 = src("clf_hf", "Clapeyron"), src("clf_s0", "Clapeyron")
    for r in read_clapeyron(os.path.join(ref, "clapeyron", "properties", "formation_ig.csv"), ";"):
        c = cas_to_int(r["CAS"])
        clf_hf.put(c, num(r["H0"]))
        clf_s0.put(c, num(r["S0"]))

    # dipoles, radius of gyration, Rackett
    dm_sources = []
    for fn, name in (("Poling Dipole.csv", "Poling"), ("cccbdb.nist.gov Dipoles.csv", "CCCBDB"),
                     ("Muller Supporting Info Dipoles.csv", "Muller"), ("psi4_dipoles.tsv", "psi4")):
        s = Source(name)
        for r in read_tsv(ch("Misc", fn)):
            s.put(cas_to_int(r["CAS"]), num(r["dipole_moment"]))
        dm_sources.append(s)
    rg_sources = []
    for fn, name in (("chemsep_radius_of_gyrations.tsv", "ChemSep"), ("psi4_radius_of_gyrations.tsv", "psi4")):
        s = Source(name)
        for r in read_tsv(ch("Misc", fn)):
            s.put(cas_to_int(r["CAS"]), num(r["RG"]))
        rg_sources.append(s)
    linear = {}
    for r in read_tsv(ch("Misc", "psi4_linear.tsv")):
        c = cas_to_int(r["CAS"])
        if c:
            linear[c] = r["linear"].strip() == "1"
    costald_zra = Source("COSTALD")
    for r in read_tsv(ch("Density", "COSTALD Parameters.tsv")):
        costald_zra.put(cas_to_int(r["CAS"]), num(r["Z_RA"]))
    cl_zra = Source("Clapeyron")
    for r in read_clapeyron(os.path.join(ref, "clapeyron", "properties", "rackett.csv"), ","):
        c = cl_species.get(r["species"].strip().lower())
        cl_zra.put(c, num(r["ZRA"]))

    # ideal-gas heat capacity candidates
    cs_corr = {}
    for r in read_tsv(os.path.join(ref, "derived", "chemsep832_correlations.tsv")):
        c = cas_to_int(r["CAS"])
        if not c:
            continue
        coeffs = [num(r[k]) for k in "ABCDEF"]
        cs_corr.setdefault(c, {})[r["property"]] = (int(r["eqno"]), coeffs, num(r["Tmin"]), num(r["Tmax"]))
    trc = {}
    for r in read_tsv(ch("Heat Capacity", "TRC Thermodynamics of Organic Compounds in the Gas State.tsv")):
        c = cas_to_int(r["CAS"])
        if c and c not in trc:
            a = [num(r["a%d" % k]) for k in range(8)]
            if all(x is not None for x in a):
                trc[c] = (a, num(r["Tmin"]), num(r["Tmax"]))
    poling = {}
    for r in read_tsv(ch("Heat Capacity", "PolingDatabank.tsv")):
        c = cas_to_int(r["CAS"])
        a = [num(r["a%d" % k]) for k in range(5)]
        if c and c not in poling and a[0] is not None:
            poling[c] = ([x or 0.0 for x in a], num(r["Tmin"]), num(r["Tmax"]))
        poling_cp.put(c, num(r["Cpg"]))
    coolprop = load_coolprop(os.path.join(ref, "coolprop", "fluids"))
    gerg = {c: gerg_terms(ref, c) for c in GERG_FILES}
    extra = load_extra_correlations(ch)

    # --- the component list and its order ---------------------------------
    fixture = [74828, 74840, 74986, 75285, 106978, 78784, 109660, 74851, 67561, 110543, 142825, 111659,
               111842, 124185, 1120214, 112403, 111273, 71432, 629505, 629594, 629629, 544763, 629787,
               593453, 71363, 629925, 112958, 7727379, 7782447, 7732185, 64175, 7664417, 7783064, 124389,
               108883, 67641, 1333740, 75150, 110827, 7440597]
    # Further process components that users of a gas/refinery library expect
    # near the top: light gases, C6+ isomers, aromatics, glycols, amines.
    common = [7440371, 630080, 7446095, 10024972, 7440019, 7439909, 7440633, 463581, 75183, 74931,
              115071, 106989, 115117, 590181, 624646, 106990, 74862, 463490, 463821, 107835, 96140,
              75832, 79298, 591764, 589344, 565593, 108087, 590352, 562492, 464062, 108383, 106423,
              95476, 100414, 98828, 103651, 110543, 287923, 96377, 108872, 1678917, 291645, 107211,
              111466, 112276, 112607, 57556, 56815, 141435, 111422, 105599, 110974, 64186, 64197,
              67630, 71238, 78933, 141786, 108101, 75070, 50000, 7647010, 7782505, 74908, 10102440,
              10102439, 7446119, 463581, 75445, 67663, 56235, 75092, 74873, 75014, 107062, 75218,
              74895, 124403, 121448, 109897, 7783542, 2551624, 75730, 76164, 75456, 811972, 75376,
              353366, 460737, 354336, 420462, 306832, 75694, 75718, 115253, 7803512, 7789200,
              75105, 593533, 75467, 76131, 107460, 556672, 541026, 7440597]

    conflicts = []

    def mass_and_formula(c):
        """(molar mass, its source, element counts); None when the tabulated
        molar mass and the formula disagree (one of the sources is wrong, and
        we cannot tell which: the component is left out)."""
        counts = formula_of(c)
        mw, s = pick(c, cs_mw, pc_mw, iupac_mw, cl_mw)
        if mw is None:
            if counts is None:
                return None
            return formula_mass(counts), "formula", counts
        if counts is not None and abs(formula_mass(counts) - mw) > max(0.5, 0.002 * mw):
            conflicts.append(c)
            return None
        if counts is not None and s == "Clapeyron":
            # that table mixes in isotopic masses for some halides: the
            # formula with standard atomic weights is the better value
            return formula_mass(counts), "formula", counts
        return mw, s, counts

    def has_core(c):
        tc = pick(c, heos_tc, cs_tc, iupac_tc, math_tc, yaws_tc, cl_tc)[0]
        pc = pick(c, heos_pc, cs_pc, iupac_pc, math_pc, yaws_pc, cl_pc)[0]
        return tc is not None and pc is not None and mass_and_formula(c) is not None

    def formula_of(c):
        # ChemSep structure, PubChem formula, Clapeyron structure, inorganic table
        counts = smiles_formula(cs_smiles.get(c)) if cs_smiles.get(c) else None
        counts = counts or parse_formula(pc_formula.get(c))
        counts = counts or (smiles_formula(cl_smiles.get(c)) if cl_smiles.get(c) else None)
        return counts or parse_formula(inorg_formula.get(c))

    def name_of(c):
        if c in NAMES:
            return NAMES[c]
        cands = []
        if c in cs:
            cands.append(cs[c]["CompoundID"].strip())
        cands += cl_names.get(c, [])
        if c in yaws_name:
            cands.append(yaws_name[c])
        if c in pc_names:
            cands += pc_names[c][1][:1] + [pc_names[c][0]]
        good = [n for n in cands if good_name(n)]
        if good:
            # prefer a later synonym that only adds locants or stereo
            # descriptors ("1,1,1,2-TETRAFLUOROETHANE" over "TETRAFLUOROETHANE")
            first = good[0].upper()
            for n in good[1:]:
                u = n.upper()
                if u.endswith(first) and re.fullmatch(r"[\dA-Z,()-]*?[\d)]-?", u[: len(u) - len(first)] or "x"):
                    return n
            return good[0]
        return cands[0] if cands else None

    order = []
    seen = set()

    def add(c):
        if c and c not in seen and has_core(c) and name_of(c):
            seen.add(c)
            order.append(c)

    for c in fixture:
        if c not in seen:
            seen.add(c)
            order.append(c)
    for c in common:
        add(c)
    for c in nq_order:
        add(c)
    for c in sorted(cs, key=lambda k: int(num(cs[k]["LibraryIndex"]) or 1e9)):
        add(c)
    # then everything with a heat-capacity correlation, then the rest, by CAS
    universe = set(yaws_tc.data) | set(cl_tc.data) | set(iupac_tc.data) | set(math_tc.data)
    with_cp = sorted(c for c in universe if c in trc or c in poling or c in cs_corr)
    for c in with_cp:
        add(c)
    for c in sorted(universe):
        add(c)

    # --- rows --------------------------------------------------------------
    provenance = {}

    def note(field, name):
        provenance.setdefault(field, {})
        provenance[field][name or "missing"] = provenance[field].get(name or "missing", 0) + 1

    rows = []
    rejected = []
    used_names = set()
    for index, c in enumerate(order, start=1):
        mw, s, counts = mass_and_formula(c) or (None, None, formula_of(c))
        formula = hill(counts) if counts else ""
        note("mw", s)
        tc, s = pick(c, heos_tc, cs_tc, iupac_tc, math_tc, yaws_tc, cl_tc); note("tc", s)
        pc, s = pick(c, heos_pc, cs_pc, iupac_pc, math_pc, yaws_pc, cl_pc); note("pc", s)
        vc, s = pick(c, heos_vc, cs_vc, iupac_vc, math_vc, yaws_vc, cl_vc); note("vc", s)
        om, s = pick(c, heos_om, cs_om, yaws_om, psrk_om, cl_om); note("omega", s)
        tb, s = pick(c, heos_tb, cs_tb, yb_tb, crc_tb, wb_tb); note("tb", s)
        tm, s = pick(c, cs_tm, crc_tm, on_tm, wb_tm); note("tm", s)
        # formation values: take H and G from the same source where possible
        hf = gf = None
        if cs_hf.get(c) is not None:
            hf, gf, s = cs_hf.get(c), cs_gf.get(c), "ChemSep"
        elif crc_hf.get(c) is not None and crc_gf.get(c) is not None:
            hf, gf, s = crc_hf.get(c), crc_gf.get(c), "CRC"
        else:
            hf, s = pick(c, crc_hf, atct_hf, yhf, wb_hf, clf_hf, api_hf)
        note("hf", s)
        s0, s0src = pick(c, cs_s0, crc_s0, ys0, wb_s0, clf_s0)
        if gf is None and hf is not None and s0 is not None and counts and all(e in ELEMENT_S0 for e in counts):
            # Gibbs energy of formation from the enthalpy of formation and the
            # entropies of the compound and of its elements.
            gf = hf - 298.15 * (s0 - sum(ELEMENT_S0[e] * n for e, n in counts.items()))
            note("gf", "derived(Hf,S0)")
        else:
            note("gf", s if gf is not None else None)
        note("s0", s0src)
        dm, s = pick(c, cs_dm, *dm_sources); note("dipole", s)
        rg, s = pick(c, cs_rg, *rg_sources); note("rg", s)
        zra, s = pick(c, cs_zra, costald_zra, cl_zra); note("zra", s)
        sol = cs_sol.get(c)
        hfus, s = pick(c, cs_hfus, crc_hfus); note("hfus", s)
        natoms = sum(counts.values()) if counts else None
        if natoms == 1:
            cp0 = 2.5 * R
        elif natoms == 2 or linear.get(c) or c in LINEAR:
            cp0 = 3.5 * R
        else:
            cp0 = 4.0 * R
        cp298 = crc_cp.get(c)
        cp, s = choose_cp(c, cp_candidates(c, cs_corr, trc, poling, coolprop, nq, gerg), natoms, cp298, cp0, rejected)
        note("cp", s)
        name = clean(name_of(c).upper()) or clean(yaws_name.get(c, "").upper()) or cas_text(c)
        names = alt_names(c, name, cl_names, pc_names, cs, yaws_name)
        # names must identify a component: add the CAS number to a repeated name
        if name in used_names:
            name = f"{name} ({cas_text(c)})"
        used_names.add(name)
        corr = cs_corr.get(c, {})
        corr_cells = []
        for k in CORRELATIONS:
            cell = corr_cell(corr.get(k), cs_tc.get(c))
            source = "ChemSep" if cell else None
            if not cell and c in extra.get(k, {}):
                source, entry, etc = extra[k][c]
                cell = corr_cell(entry, etc)
                if not cell:
                    source = None
            note(k, source)
            corr_cells.append(cell)
        cells = [str(index), str(c), name, names[0], names[1], formula, fmt(mw), fmt(tc),
                 fmt(pc), fmt(vc), fmt(om), fmt(tb), fmt(tm), fmt(hf), fmt(gf), fmt(s0), fmt(dm), fmt(rg),
                 fmt(zra), fmt(sol), fmt(cp0), cp,
                 ] + corr_cells + [fmt(hfus)]
        rows.append(cells)

    out = os.path.abspath(args.out)
    with open(out, "w", encoding="utf-8", newline="\n") as f:
        f.write(HEADER)
        f.write("\t".join(COLUMNS) + "\n")
        for cells in rows:
            f.write("\t".join(cells) + "\n")
    print(f"{len(rows)} components written to {out}", file=sys.stderr)
    if args.report:
        with open(args.report, "w") as f:
            json.dump({"provenance": provenance, "rejected_cp": [[cas_text(c), n] for c, n in rejected],
                       "mass_formula_conflicts": sorted(set(cas_text(c) for c in conflicts))},
                      f, indent=1, sort_keys=True)


# ChemSep properties stored, in data-file column order vp .. scp.
CORRELATIONS = ["VaporPressure", "LiquidDensity", "HeatOfVaporization", "LiquidHeatCapacityCp",
                "LiquidViscosity", "VaporViscosity", "LiquidThermalConductivity", "VaporThermalConductivity",
                "SurfaceTension", "SolidDensity", "SolidHeatCapacityCp"]

SUPPORTED_EQ = {1, 2, 4, 10, 16, 100, 101, 102, 104, 105, 106, 107}


def load_extra_correlations(ch):
    """Correlations for components the ChemSep databank lacks:
    {property: {cas: (source, (eq, coeffs, tmin, tmax), tc)}}, SI per kmol."""
    out = {k: {} for k in CORRELATIONS}

    def table(path, prop, source, eq, cols, scale=1.0, tc_col=None):
        for r in read_tsv(ch(*path)):
            c = cas_to_int(r.get("CAS"))
            if not c or c in out[prop]:
                continue
            coeffs = [num(r.get(k)) or 0.0 for k in cols]
            tmin, tmax = num(r.get("Tmin")), num(r.get("Tmax"))
            if tmin is None or tmax is None or not any(coeffs):
                continue
            coeffs[0] *= scale
            tc = num(r.get(tc_col)) if tc_col else None
            out[prop][c] = (source, (eq, coeffs, tmin, tmax), tc)

    c5 = ["C1", "C2", "C3", "C4", "C5"]
    table(("Vapor Pressure", "Table 2-8 Vapor Pressure of Inorganic and Organic Liquids.tsv"), "VaporPressure",
          "Perry", 101, c5)
    table(("Density", "Perry Parameters 105.tsv"), "LiquidDensity", "Perry", 105, ["C1", "C2", "C3", "C4"],
          scale=1e-3)  # mol/m3 -> kmol/m3
    table(("Phase Change", "Table 2-150 Heats of Vaporization of Inorganic and Organic Liquids.tsv"),
          "HeatOfVaporization", "Perry", 106, ["C1", "C2", "C3", "C4"], scale=1e3, tc_col="Tc")  # J/mol -> J/kmol
    table(("Viscosity", "Table 2-313 Viscosity of Inorganic and Organic Liquids.tsv"), "LiquidViscosity", "Perry",
          101, c5)
    table(("Viscosity", "Table 2-312 Vapor Viscosity of Inorganic and Organic Substances.tsv"), "VaporViscosity",
          "Perry", 102, ["C1", "C2", "C3", "C4"])
    table(("Thermal Conductivity", "Table 2-315 Thermal Conductivity of Inorganic and Organic Liquids.tsv"),
          "LiquidThermalConductivity", "Perry", 100, c5)
    table(("Thermal Conductivity", "Table 2-314 Vapor Thermal Conductivity of Inorganic and Organic Substances.tsv"),
          "VaporThermalConductivity", "Perry", 102, ["C1", "C2", "C3", "C4"])
    table(("Heat Capacity", "Perry_Table_2-153_DIPPR_100.tsv"), "LiquidHeatCapacityCp", "Perry", 100,
          ["A", "B", "C", "D", "E"])
    # Surface tension: VDI Heat Atlas PPDS, sigma = A (1 - Tr)^(B + C Tr + D Tr^2 + E Tr^3) N/m, which
    # is equation 106 with Tc; then Jasper-Lange, sigma = a - b t(degC) mN/m, written as equation 100.
    for r in read_tsv(ch("Interface", "VDI PPDS surface tensions.tsv")):
        c = cas_to_int(r.get("CAS"))
        coeffs = [num(r.get(k)) or 0.0 for k in "ABCDE"]
        tm, tc = num(r.get("Tm")), num(r.get("Tc"))
        if c and tc and coeffs[0] and c not in out["SurfaceTension"]:
            out["SurfaceTension"][c] = ("VDI PPDS", (106, coeffs, tm or 0.0, tc), tc)
    for r in read_tsv(ch("Interface", "Jasper-Lange.tsv")):
        c = cas_to_int(r.get("CAS"))
        a, b = num(r.get("a")), num(r.get("b"))
        tmin, tmax = num(r.get("Tmin")), num(r.get("Tmax"))
        if c and None not in (a, b, tmin, tmax) and c not in out["SurfaceTension"]:
            out["SurfaceTension"][c] = ("Jasper-Lange", (100, [(a + 273.15 * b) / 1000.0, -b / 1000.0],
                                                         tmin, tmax), None)
    # Antoine sets, ln(P/Pa) = A - B/(T + C) (equation 10); the widest range per compound.
    best = {}
    for r in read_tsv(ch("Vapor Pressure", "Landolt_antoine_V20.tsv")):
        c = cas_to_int(r.get("CAS"))
        a, b, cc = num(r.get("A")), num(r.get("B")), num(r.get("C"))
        tmin, tmax = num(r.get("Tmin")), num(r.get("Tmax"))
        if not c or None in (a, b, cc, tmin, tmax) or tmax <= tmin:
            continue
        if c not in best or tmax - tmin > best[c][3] - best[c][2]:
            best[c] = (10, [a, b, cc], tmin, tmax)
    for c, e in best.items():
        out["VaporPressure"].setdefault(c, ("Landolt-Bornstein Antoine", e, None))
    return out


def corr_cell(entry, tc=None):
    if not entry:
        return ""
    eq, coeffs, tmin, tmax = entry
    if eq not in SUPPORTED_EQ or tmin is None or tmax is None or tmax < tmin:
        return ""
    coeffs = [x if x is not None else 0.0 for x in coeffs[:5]]
    while len(coeffs) > 1 and coeffs[-1] == 0.0:
        coeffs.pop()
    if eq == 106:
        if not tc:
            return ""
        coeffs = (coeffs + [0.0] * 5)[:5] + [tc]
    return ";".join([str(eq), fmt(tmin), fmt(tmax)] + [fmt(x) for x in coeffs])


GREEK = {"α": "ALPHA-", "Α": "ALPHA-", "β": "BETA-", "Β": "BETA-", "γ": "GAMMA-", "Γ": "GAMMA-",
         "δ": "DELTA-", "Δ": "DELTA-", "±": "+/-", "−": "-", "–": "-", "′": "'"}


def clean(text):
    """Names are plain ASCII (the C interface hands them out as bytes):
    Greek letters spelled out, anything else non-ASCII dropped with the name."""
    text = (text or "").replace("\t", " ").strip()
    for k, v in GREEK.items():
        text = text.replace(k, v)
    text = text.replace("ALPHA- ", "ALPHA ").replace("BETA- ", "BETA ").replace("--", "-")
    return text if text.isascii() else ""


def good_name(n):
    """A name users would recognise: not a code (R14, D4, MM), not an
    inverted index name ('OCTANE, 2-METHYL-'), not a machine-made systematic
    name ('TETRAKIS(FLUORANYL)METHANE'), not an isotope label."""
    u = n.strip().upper()
    if len(u) < 3 or len(u) > 60:
        return False
    if re.fullmatch(r"R-?\d+[A-Z0-9]*|[A-Z]{1,3}\d*|C\d+E\d+", u):
        return False
    if re.search(r", [A-Z0-9,()\-]+-$", u) or (re.search(r",\s+\d", u) and not u[0].isdigit()):
        return False
    if re.fullmatch(r"([A-Z][A-Z]?\d*)+", u) and re.search(r"\d", u) and len(u) <= 10:
        return False  # a formula (CH2CL2, CFCL3)
    if re.search(r"(FLUOR|CHLOR|BROM|IOD|OXID|SULF|AZ|SILYL|BOR)ANYL", u):
        return False
    if re.search(r"^\(\d+[A-Z]", u) or ";" in u or re.search(r"\.[A-Z]+\.", u):
        return False
    if re.search(r"\b(BEAM|COMPRESSED|REFRIGERATED|LIQUID|LIQUEFIED|ATOM|ION|SOLUTION|USP|NF|ACS|REAGENT)\b", u):
        return False
    return True


def alt_names(c, name, cl_names, pc_names, cs, yaws_name):
    """Two alternative names: curated ones, then the synonyms of the
    Clapeyron, ChemSep and Yaws tables (refrigerant codes such as R134A are
    welcome here), then PubChem's common and systematic names."""
    cands = list(ALT.get(c, []))
    cands += cl_names.get(c, [])
    if c in cs:
        cands.append(cs[c]["CompoundID"].strip())
    if c in yaws_name:
        cands.append(yaws_name[c])
    if c in pc_names:
        cands += pc_names[c][1][:4] + [pc_names[c][0]]
    out = []
    for n in cands:
        u = clean(n.strip().upper())
        ok = good_name(u) or n in ALT.get(c, []) or re.fullmatch(r"R-?\d+[A-Z0-9]*|RC\d+|HFC-\d+[A-Z]*", u)
        if u and u != name and u not in out and ok:
            out.append(u)
        if len(out) == 2:
            break
    while len(out) < 2:
        out.append("")
    return out


# ---------------------------------------------------------------------------
# ideal-gas heat capacity


def load_coolprop(folder):
    """Ideal-gas Cp of the CoolProp reference equations as Planck-Einstein
    terms: cp/R = c0 + sum n_k u^2 e^u/(e^u -+ 1)^2, u = theta_k/T."""
    out = {}
    if not os.path.isdir(folder):
        return out
    for fn in sorted(os.listdir(folder)):
        if not fn.endswith(".json"):
            continue
        with open(os.path.join(folder, fn)) as f:
            d = json.load(f)
        info = d.get("INFO", {})
        c = cas_to_int(info.get("CAS"))
        if not c:
            continue
        eos = d["EOS"][0]
        Rm = eos.get("gas_constant", R)
        tred = eos["STATES"]["reducing"]["T"]
        c0 = 0.0
        terms = []
        ok = True
        for t in eos["alpha0"]:
            typ = t["type"]
            if typ in ("IdealGasHelmholtzLead", "IdealGasHelmholtzEnthalpyEntropyOffset"):
                continue
            if typ == "IdealGasHelmholtzLogTau":
                c0 += t["a"]
            elif typ == "IdealGasHelmholtzPlanckEinstein":
                for n, th in zip(t["n"], t["t"]):
                    terms.append((n, abs(th) * tred))
            elif typ == "IdealGasHelmholtzPlanckEinsteinGeneralized":
                # n ln(c + d exp(theta tau)); the c = 1, d = -1 case is the
                # Einstein term, c = 1, d = 1 its "+" twin.
                for n, th, cc, dd in zip(t["n"], t["t"], t["c"], t["d"]):
                    if cc == 1 and dd == -1:
                        terms.append((n, abs(th) * tred))
                    elif cc == 1 and dd == 1:
                        terms.append((-n, -abs(th) * tred))
                    else:
                        ok = False
            elif typ == "IdealGasHelmholtzPlanckEinsteinFunctionT":
                for n, th in zip(t["n"], t["v"]):
                    terms.append((n, abs(th)))
            elif typ == "IdealGasHelmholtzCP0Constant":
                c0 += t["cp_over_R"] - 1.0
            elif typ == "IdealGasHelmholtzPower":
                if any(tt != 1 and tt != 0 for tt in t["t"]):
                    ok = False
            elif typ == "IdealGasHelmholtzCP0PolyT":
                # cp/R = c0 + sum c_i T^t_i: handled only for t = 0
                for cc, tt in zip(t["c"], t["t"]):
                    if tt == 0:
                        c0 += cc
                    else:
                        ok = False
            elif typ == "IdealGasHelmholtzCP0AlyLee":
                ok = False
            else:
                ok = False
        if ok:
            # cp/R = 1 + a (log tau coefficient) + terms; c0 holds a
            out[c] = (Rm, 1.0 + c0, terms, info.get("NAME", fn))
    return out


def cp_value(form, coeffs, T):
    """Ideal-gas Cp in J/(mol K) of a stored form (the same formulas as the
    library, used here to screen the candidate fits)."""
    a = list(coeffs) + [0.0] * 10
    try:
        if form == 1:
            return (a[0] + math.exp(a[1] / T + a[2] + a[3] * T + a[4] * T * T)) / 1000.0
        if form == 2:
            x, y = a[2] / T, a[4] / T
            sx = 1.0 if x == 0 else x / math.sinh(x)
            return (a[0] + a[1] * sx * sx + a[3] * (y / math.cosh(y)) ** 2) / 1000.0
        if form == 3:
            return sum(c * T ** i for i, c in enumerate(coeffs))
        if form == 4:
            v = a[1]
            for k in range(2, len(coeffs) - 1, 2):
                n, th = coeffs[k], coeffs[k + 1]
                u = abs(th) / T
                if u > 600:
                    continue
                d = math.expm1(u) if th > 0 else math.exp(u) + 1
                v += n * u * u * math.exp(u) / (d * d)
            return a[0] * v
        if form == 5:
            Rm, a0, a1, a2, a3, a4, a5, a6, a7 = a[:9]
            y = 0.0 if T <= a7 else (T - a7) / (T + a6)
            tail = 0.0 if y == 0 else (a4 - a5 / (T - a7) ** 2) * y ** 8
            return Rm * (a0 + a1 / T ** 2 * math.exp(-a2 / T) + a3 * y * y + tail)
    except (OverflowError, ZeroDivisionError, ValueError):
        return None
    return None


def cp_plausible(form, coeffs, tmin, tmax, natoms, cp298, cp0):
    """A fit is kept when, over its own range, it stays between a monatomic
    gas and the classical limit of the molecule, and agrees within 10 % with
    an independent 298.15 K value where one is known.  A form used at every
    temperature (Planck-Einstein) must also tend to the frozen-vibration limit
    cp0 at low temperature: some reference equations fit only above 200 K
    with a large constant term (n-nonane: 17.3 R) and are not used."""
    if form == 4:
        v = cp_value(form, coeffs, 2.0)
        if v is None or v > 1.15 * cp0 or v < 0.9 * 2.5 * R:
            return False
    lo = max(tmin or 0.0, 20.0)
    hi = min(tmax or 1500.0, 3000.0) if (tmax or 0) > 0 else 1500.0
    if hi <= lo:
        hi = lo + 1.0
    upper = (3 * natoms + 1) * R if natoms else None
    for k in range(41):
        T = lo * (hi / lo) ** (k / 40)
        v = cp_value(form, coeffs, T)
        if v is None or not math.isfinite(v) or v < 2.5 * R * 0.98:
            return False
        if upper and v > upper * 1.02:
            return False
    if cp298 and lo <= 298.15 <= hi:
        v = cp_value(form, coeffs, 298.15)
        if abs(v - cp298) > 0.10 * cp298:
            return False
    return True


def cp_candidates(c, cs_corr, trc, poling, coolprop, nq, gerg=None):
    """Candidate ideal-gas Cp fits in order of preference:
    (source, form, tmin, tmax, coefficients).  The ideal parts of the
    reference equations of state come first: they are physical at every
    temperature and are what the multiparameter equations use."""
    out = []
    if c in coolprop:
        Rm, c0, terms, _ = coolprop[c]
        vals = [Rm, c0]
        for n, th in terms:
            if n != 0 and th != 0:
                vals += [n, th]
        out.append(("CoolProp", 4, 0.0, 0.0, vals))
    if gerg and c in gerg:
        out.append(("GERG-2008", 4, 0.0, 0.0, gerg_as_planck_einstein(gerg[c])))
    e = cs_corr.get(c, {}).get("IdealGasHeatCapacityCp")
    if e and e[0] in (16, 107) and e[2] is not None and e[3] is not None:
        eq, coeffs, tmin, tmax = e
        coeffs = [x if x is not None else 0.0 for x in coeffs[:5]]
        out.append(("ChemSep", 1 if eq == 16 else 2, tmin, tmax, coeffs))
    if c in trc:
        a, tmin, tmax = trc[c]
        out.append(("TRC", 5, tmin or 0.0, tmax or 0.0, [R] + a))
    if c in poling:
        a, tmin, tmax = poling[c]
        out.append(("Poling", 3, tmin or 0.0, tmax or 0.0, [x * R for x in a]))
    if c in nq:
        r = nq[c]
        a = [num(r.get(k)) for k in ("CPA", "CPB", "CPC", "CPD", "CPE")]
        if a[0] is not None and any(a):
            out.append(("NeqSim", 3, 200.0, 1000.0, [x or 0.0 for x in a]))
    return out


GERG_FILES = {74828: "methane.json", 74840: "ethane.json", 74986: "propane~n-propane.json",
              106978: "butane~n-butane.json", 75285: "isobutane~2-methylpropane.json",
              7727379: "nitrogen.json", 124389: "carbon dioxide.json", 7732185: "water.json",
              109660: "pentane~n-pentane.json", 78784: "isopentane~methylbutane~2-methylbutane.json",
              110543: "hexane~n-hexane.json", 142825: "heptane~n-heptane.json", 111659: "octane~n-octane.json",
              111842: "nonane~n-nonane.json", 124185: "decane~n-decane.json", 1333740: "hydrogen.json",
              7782447: "oxygen.json", 630080: "carbon monoxide.json", 7783064: "hydrogen sulfide.json",
              7440597: "helium~helium-4.json", 7440371: "argon.json"}


def gerg_terms(ref, cas):
    """GERG-2008 ideal part as (R*, c0, [(n, theta)]) with
    cp = R + R* (c0 + sum n (u/sinh u)^2 or (u/cosh u)^2), u = theta / T."""
    fn = GERG_FILES.get(cas)
    if not fn:
        return None
    with open(os.path.join(ref, "clapeyron", "Empiric", "GERG2008", "pures", fn)) as f:
        d = json.load(f)
    eos = d["EOS"][0] if isinstance(d["EOS"], list) else d["EOS"]
    tc = eos["STATES"]["reducing"]["T"]
    r0, a, terms = R, 0.0, []
    for t in eos["alpha0"]:
        if t["type"] == "IdealGasHelmholtzLogTau":
            a += t["a"]
        elif t["type"] == "IdealGasClapeyronJLGerg2008":
            for k, (n, v) in enumerate(zip(t["n"], t["v"])):
                terms.append((n, v * tc, k % 2 == 0))  # sinh, cosh, sinh, cosh
        elif t["type"] == "IdealGasClapeyronJLR0":
            r0 = t["R0"]
    return eos.get("gas_constant", R), r0, a, terms


def gerg_cp(g, T):
    rgas, r0, a, terms = g
    v = a
    for n, th, is_sinh in terms:
        u = th / T
        v += n * (u / (math.sinh(u) if is_sinh else math.cosh(u))) ** 2
    return rgas + r0 * v


def gerg_as_planck_einstein(g):
    """The same Cp in the library's Planck-Einstein form (form 4):
    (u/sinh u)^2 is the Einstein term with 2u, (u/cosh u)^2 its + twin."""
    rgas, r0, a, terms = g
    vals = [r0, a + rgas / r0]
    for n, th, is_sinh in terms:
        if n != 0 and th != 0:
            vals += [n, 2 * abs(th) if is_sinh else -2 * abs(th)]
    return vals


def choose_cp(c, cands, natoms, cp298, cp0, rejected):
    """The first plausible candidate as a data-file cell, and its source."""
    for name, form, tmin, tmax, coeffs in cands:
        if cp_plausible(form, coeffs, tmin, tmax, natoms, cp298, cp0):
            return ";".join([str(form), fmt(tmin), fmt(tmax)] + [fmt(x) for x in coeffs]), name
        rejected.append((c, name))
    return "", None


# ---------------------------------------------------------------------------
# curated names and flags

ELEMENT_GASES = {1333740, 7727379, 7782447, 7440597, 7440371, 7440019, 7439909, 7440633, 7782505, 7782414,
                 7726956}

LINEAR = {124389, 75150, 74862, 74908, 10024972, 463581, 7782505, 630080, 7727379, 7782447, 1333740}

# Common names for the components users ask for by name.
NAMES = {
    74828: "METHANE", 74840: "ETHANE", 74986: "PROPANE", 75285: "ISOBUTANE", 106978: "N-BUTANE",
    78784: "ISOPENTANE", 109660: "N-PENTANE", 74851: "ETHYLENE", 67561: "METHANOL", 110543: "N-HEXANE",
    142825: "N-HEPTANE", 111659: "N-OCTANE", 111842: "N-NONANE", 124185: "N-DECANE",
    1120214: "N-UNDECANE", 112403: "N-DODECANE", 111273: "1-HEXANOL", 71432: "BENZENE",
    629505: "N-TRIDECANE", 629594: "N-TETRADECANE", 629629: "N-PENTADECANE", 544763: "N-HEXADECANE",
    629787: "N-HEPTADECANE", 593453: "N-OCTADECANE", 71363: "1-BUTANOL", 629925: "N-NONADECANE",
    112958: "N-EICOSANE", 7727379: "NITROGEN", 7782447: "OXYGEN", 7732185: "WATER", 64175: "ETHANOL",
    7664417: "AMMONIA", 7783064: "HYDROGEN SULFIDE", 124389: "CARBON DIOXIDE", 108883: "TOLUENE",
    67641: "ACETONE", 1333740: "HYDROGEN", 75150: "CARBON DISULFIDE", 110827: "CYCLOHEXANE",
    7440597: "HELIUM", 7440371: "ARGON", 630080: "CARBON MONOXIDE", 7446095: "SULFUR DIOXIDE",
    115071: "PROPYLENE", 463581: "CARBONYL SULFIDE", 107211: "ETHYLENE GLYCOL", 111466: "DIETHYLENE GLYCOL",
    112276: "TRIETHYLENE GLYCOL", 141435: "MONOETHANOLAMINE", 111422: "DIETHANOLAMINE",
    105599: "METHYLDIETHANOLAMINE", 75796: "METHYLTRICHLOROSILANE", 74862: "ACETYLENE",
    7440019: "NEON", 7439909: "KRYPTON", 7440633: "XENON", 10024972: "NITROUS OXIDE",
}

ALT = {
    75285: ["I-BUTANE", "2-METHYLPROPANE"], 106978: ["BUTANE", "NC4"], 78784: ["I-PENTANE", "2-METHYLBUTANE"],
    109660: ["PENTANE", "NC5"], 74828: ["C1", "CH4"], 74840: ["C2", "C2H6"], 74986: ["C3", "C3H8"],
    7732185: ["H2O", "STEAM"], 124389: ["CO2", "CARBONIC ANHYDRIDE"], 7783064: ["H2S", "SULFANE"],
    7727379: ["N2", "DINITROGEN"], 7782447: ["O2", "DIOXYGEN"], 1333740: ["H2", "DIHYDROGEN"],
    110543: ["HEXANE", "NC6"], 142825: ["HEPTANE", "NC7"], 111659: ["OCTANE", "NC8"], 111842: ["NONANE", "NC9"],
    124185: ["DECANE", "NC10"],
}


COLUMNS = ["index", "cas", "name", "name1", "name2", "formula", "mw", "tc", "pc", "vc", "omega", "tb", "tm",
           "hf", "gf", "s0", "dipole", "rg", "zra", "sol", "cp0", "cp", "vp", "ld", "hv", "lcp", "lvisc",
           "gvisc", "lk", "gk", "st", "sd", "scp", "hfus"]

HEADER = """\
# zpk component database, format 1. Generated by tools/dbgen/dbgen.py; do not edit by hand.
# One component per line, tab separated; empty cell = value not known (never invented).
# Units: mw kg/kmol; tc, tb, tm K; pc Pa; vc m3/kmol; hf, gf kJ/kmol and s0 kJ/(kmol K)
# (ideal gas, 298.15 K, standard state; s0 is the absolute entropy); dipole debye; rg m; zra -; sol (J/m3)^0.5;
# cp0 kJ/(kmol K) (low-temperature limit of the ideal-gas Cp); hfus kJ/kmol (heat of fusion).
# Correlation cells: form;tmin;tmax;coefficients... (see docs/components.md).
# Sources: ChemSep 8.32 databank (Kooijman & Taylor, Artistic License 2.0); reference-EOS
# constants (heos_constants) and CoolProp fluid files (MIT); IUPAC critical data; Mathews 1972;
# Yaws collection; PSRK appendix; Clapeyron.jl database (MIT); PubChem identifiers; CRC Handbook;
# NIST WebBook; ATcT 1.112; API-TDB; TRC ideal-gas Cp (Kabo & Roganov form); Poling et al. 5th ed.;
# NeqSim COMP table (Apache-2.0); COSTALD; dipole sets (Poling, CCCBDB, Muller, psi4).
"""

if __name__ == "__main__":
    main()
