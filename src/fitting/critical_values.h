#pragma once
// The critical values of the 95 % statements, each the double nearest to the exact value.
namespace quorvel {

// k = t(0.975; dof), the two-sided 95 % quantile of Student's t distribution with dof ≥ 1 degrees of
// freedom: 12.706… for 1, tending to 1.95996… (the normal distribution's) as dof grows.
double CoverageFactor95(int dof);

// χ²(0.95; dof), the value a chi-squared variable with dof ≥ 1 degrees of freedom exceeds with
// probability 5 %: 3.841… for 1, about dof + 1.645·√(2·dof) for many.
double ChiSquaredCritical95(int dof);

}  // namespace quorvel
