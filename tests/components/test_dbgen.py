"""Unit tests of the data-file generator's parsing helpers (no reference
data needed)."""
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools", "dbgen"))
import dbgen  # noqa: E402


def test_cas_numbers_are_checked_and_normalised():
    assert dbgen.cas_to_int("74-82-8") == 74828
    assert dbgen.cas_to_int("7732-18-5") == 7732185
    assert dbgen.cas_to_int("50-0-0") == 50000  # middle part restored to two digits
    assert dbgen.cas_to_int("74-82-9") is None  # wrong check digit
    assert dbgen.cas_to_int("methane") is None
    assert dbgen.cas_to_int("") is None
    assert dbgen.cas_text(7732185) == "7732-18-5"


def formula(smiles):
    counts = dbgen.smiles_formula(smiles)
    return dbgen.hill(counts) if counts else None


def test_smiles_formulas():
    cases = {
        "C": "CH4", "CC": "C2H6", "O": "H2O", "O=C=O": "CO2", "C#N": "CHN", "ClC(Cl)Cl": "CHCl3",
        "c1ccccc1": "C6H6", "n1ccccc1": "C5H5N", "[nH]1cccc1": "C4H5N", "c1ccsc1": "C4H4S",
        "CC(=O)O": "C2H4O2", "CS(=O)C": "C2H6OS", "OS(=O)(=O)O": "H2O4S", "C1CCCCC1": "C6H12",
        "C%10CCCCC%10": "C6H12", "[Na+].[Cl-]": "ClNa", "[2H]O[2H]": "D2O", "N": "H3N",
        "C[Si](Cl)(Cl)Cl": "CH3Cl3Si", "CC(C)(C)c1ccccc1": "C10H14",
    }
    for smi, expected in cases.items():
        assert formula(smi) == expected, smi


def test_smiles_rejects_what_it_cannot_read():
    assert dbgen.smiles_formula("C1CC") is None  # open ring
    assert dbgen.smiles_formula("C(C") is None  # open branch
    assert dbgen.smiles_formula("[Xx]") is None
    assert dbgen.smiles_formula("*C") is None


def test_plain_formulas_and_masses():
    assert dbgen.parse_formula("C2H6O") == {"C": 2, "H": 6, "O": 1}
    assert dbgen.parse_formula("(CH3)2S") is None
    assert math.isclose(dbgen.formula_mass({"C": 1, "H": 4}), 16.043, abs_tol=1e-3)


def test_cp_forms_match_known_values():
    r = dbgen.R
    # methane, TRC form: 35.7 J/(mol K) at 298.15 K
    trc = [r, 4, 22350000, 2018, 32.767, -31.098, 1346090000, 1229, 473]
    assert math.isclose(dbgen.cp_value(5, trc, 298.15), 35.7, abs_tol=0.2)
    # Planck-Einstein: pure constant part
    assert math.isclose(dbgen.cp_value(4, [r, 2.5], 300), 2.5 * r)
    # Einstein term tends to n R at high temperature
    assert math.isclose(dbgen.cp_value(4, [r, 4.0, 1.0, 10.0], 1e5), 5.0 * r, rel_tol=1e-6)


def test_screen_rejects_unphysical_fits():
    r = dbgen.R
    # a polynomial that goes negative inside its own range
    assert not dbgen.cp_plausible(3, [100, -0.5], 50, 1000, 5, None, 4 * r)
    # a reference-equation form with a 17 R constant: not the low-T limit
    assert not dbgen.cp_plausible(4, [r, 17.3], 0, 0, 29, None, 4 * r)
    assert dbgen.cp_plausible(4, [r, 4.0, 3.0, 1000.0], 0, 0, 5, None, 4 * r)
    # disagreement with an independent 298 K value
    assert not dbgen.cp_plausible(3, [60.0], 100, 1000, 5, 35.7, 4 * r)


def test_names():
    assert not dbgen.good_name("R134A")
    assert not dbgen.good_name("CH2CL2")
    assert not dbgen.good_name("OCTANE, 2-METHYL-")
    assert not dbgen.good_name("TETRAKIS(FLUORANYL)METHANE")
    assert dbgen.good_name("1,1,1,2-TETRAFLUOROETHANE")
    assert dbgen.good_name("TRANS-1,4-DIMETHYLCYCLOHEXANE")
    assert dbgen.good_name("WATER")


def test_clean_names_are_ascii():
    assert dbgen.clean("Γ-BUTYROLACTONE") == "GAMMA-BUTYROLACTONE"
    assert dbgen.clean("1,2-BUTANEDIOL, (±)") == "1,2-BUTANEDIOL, (+/-)"
    assert dbgen.clean("名前") == ""
    assert dbgen.clean("A\tB") == "A B"
