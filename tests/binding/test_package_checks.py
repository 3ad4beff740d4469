"""The zelta package checks the lengths it is given and reports the root cause of a failure."""
import pytest

import _zelta
import zelta

METHANE, ETHANE, PROPANE = 74828, 74840, 74986
X3 = [0.85, 0.10, 0.05]


@pytest.fixture
def gas():
    with zelta.stream([METHANE, ETHANE, PROPANE], X3, models=6) as s:
        yield s
    _zelta.xseterr(0)


# --- finding: the cause of a failed stream definition was lost ---------------

def test_stream_reports_the_first_library_message_then_its_context():
    with pytest.raises(zelta.ZeltaError) as e:
        zelta.stream([METHANE, 9999999], [0.5, 0.5])
    err = e.value
    assert err.message.startswith("CompCID: ") and "9999999" in err.message
    assert "has no component" not in str(err)
    assert err.function == "stream" and "component 2 (CAS 9999999)" in err.context
    text = str(err)
    assert text.index("CompCID") < text.index("component 2 (CAS 9999999)")  # cause first, then context
    assert _zelta.xerr() == 0


def test_stream_stops_at_the_first_failing_step():
    with pytest.raises(zelta.ZeltaError) as e:
        zelta.stream([METHANE, ETHANE], [0.5, -1.0])
    assert e.value.message.startswith("putZ: ") and e.value.context.endswith("fraction 2")


def test_sequence_raises_at_the_first_failure_and_keeps_its_message():
    step = zelta.Sequence("demo")
    assert step(_zelta.xidc, METHANE) > 0
    with pytest.raises(zelta.ZeltaError) as e:
        step(_zelta.xidc, -5, context="first")
    assert "-5" in e.value.message and e.value.context == "first" and e.value.function == "demo"
    assert _zelta.xerr() == 0


# --- lengths -----------------------------------------------------------------

@pytest.mark.parametrize("components, fractions, words", [
    ([METHANE], [0.5, 0.5], "1 components but 2 fractions"),
    ([METHANE, ETHANE], [1.0], "2 components but 1 fractions"),
    ([], [], "0 components"),
    ([METHANE] * 101, [0.01] * 101, "101 components; a stream holds 1 to 100"),
])
def test_stream_checks_its_lengths(components, fractions, words):
    with pytest.raises(zelta.LengthError, match=words) as e:
        zelta.stream(components, fractions)
    assert isinstance(e.value, zelta.ZeltaError) and isinstance(e.value, ValueError)


def test_bound_slot_gives_the_expected_composition_length(gas):
    zelta.bind_slot(2, gas)
    for x in ([0.8, 0.2], X3 + [0.0]):
        for helper in (zelta.fugacities, zelta.fugacity_derivatives, zelta.enthalpy, zelta.entropy_derivatives,
                       zelta.volume):
            with pytest.raises(zelta.LengthError, match=r"x holds %d values, .* has 3 components" % len(x)):
                helper(2, 0, 250.0, 5e6, x)
    assert zelta.fugacities(2, 0, 250.0, 5e6, X3).code == 1
    assert len(zelta.enthalpy_derivatives(2, 0, 250.0, 5e6, X3).dx) == 3


def test_slot_bound_directly_still_refuses_a_short_composition(gas):
    assert _zelta.xspi(3, gas.number) == 1
    with pytest.raises(zelta.ZeltaError, match=r"xshvd: argument 5 \(x\) holds 2 doubles, the stream has 3"):
        zelta.enthalpy_derivatives(3, 0, 250.0, 5e6, [0.8, 0.2])


def test_library_failures_of_the_helpers_raise_with_the_message(gas):
    zelta.bind_slot(4, gas)
    with pytest.raises(zelta.ZeltaError) as e:
        zelta.fugacities(4, 9, 250.0, 5e6, X3)  # no such phase
    assert e.value.message.startswith("StrFv: ") and e.value.function == "fugacities"
    with pytest.raises(zelta.ZeltaError):
        zelta.bind_slot(0, gas)
    with pytest.raises(zelta.LengthError, match="x is empty"):
        zelta.volume(4, 0, 250.0, 5e6, [])
