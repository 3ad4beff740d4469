"""Plots with matplotlib (optional dependency: Debian's python3-matplotlib)."""


def _axes(ax):
    if ax is None:
        import matplotlib.pyplot as plt
        _, ax = plt.subplots()
    return ax


def envelope(fluid, ax=None, envelope=None, pressure_unit=1e5):
    """Draw the phase envelope of a fluid (T in K against P in bar) and mark its extremes.

    envelope: a result of fluid.envelope() to draw instead of tracing again.
    Returns the axes.
    """
    env = envelope if envelope is not None else fluid.envelope()
    ax = _axes(ax)
    for j, (T, P) in enumerate(env["lines"], 1):
        ax.plot(T, [p / pressure_unit for p in P], "-", label="line %d" % j)
    for label, key, marker in (("cricondenbar", "cricondenbar", "^"), ("cricondentherm", "cricondentherm", ">")):
        T, P = env[key]
        ax.plot([T], [P / pressure_unit], marker, label=label)
    for T, P in env["critical"]:
        ax.plot([T], [P / pressure_unit], "ko", label="critical point")
    ax.set_xlabel("T [K]")
    ax.set_ylabel("P [bar]" if pressure_unit == 1e5 else "P [%g Pa]" % pressure_unit)
    ax.set_title(repr(fluid) if len(repr(fluid)) < 80 else "phase envelope")
    ax.legend()
    return ax


def table(x, columns, ax=None, xlabel="", labels=None):
    """Draw columns of a property table against x. Returns the axes."""
    ax = _axes(ax)
    for k, column in enumerate(columns):
        ax.plot(list(x), list(column), label=labels[k] if labels else None)
    ax.set_xlabel(xlabel)
    if labels:
        ax.legend()
    return ax
