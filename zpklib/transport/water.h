// Transport properties and surface tension of ordinary water from the IAPWS
// formulations, as functions of temperature and density:
//   viscosity            IAPWS 2008 (R12-08) without the critical enhancement;
//   thermal conductivity IAPWS 1985 formulation for industrial use (the
//                        equation that accompanies IAPWS-IF97, R-1998 revision);
//   surface tension      IAPWS 1994 (R1-76), a function of temperature alone.
// All inputs and results SI: K, kg/m3, Pa s, W/(m K), N/m.
#pragma once

namespace zpk::transport::water {

inline constexpr long long kCas = 7732185; // 7732-18-5
inline constexpr double kTc = 647.096;     // K (IAPWS-95 critical temperature)

// Viscosity, Pa s, at temperature T (K) and density rho (kg/m3).
double viscosity(double T, double rho);
// Dilute-gas part of the viscosity (rho -> 0), Pa s.
double viscosityDilute(double T);
// Thermal conductivity, W/(m K), at T (K) and rho (kg/m3).
double conductivity(double T, double rho);
// Vapour-liquid surface tension, N/m; 0 at and above the critical temperature.
double surfaceTension(double T);

} // namespace zpk::transport::water
