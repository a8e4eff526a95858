#pragma once
// The design of one run as the check models it, and the figures read from it.
// Every rule is fixed, so that anyone can rebuild the same matrix:
//  - the grid: dt = TR / 16; bin i covers [i·dt, (i+1)·dt), from 0 to n·TR;
//  - an event fills bins floor(onset/dt) to ceil((onset+duration)/dt) - 1,
//    and at least floor(onset/dt); a filled bin is 1, however many events
//    fill it; bins before 0 are left out;
//  - the response h(t) = t^5 e^-t / 5! - (1/6) t^15 e^-t / 15!, sampled at
//    j·dt for j = 0 .. floor(32/dt) and scaled to sum 1;
//  - each condition's bins convolved causally with it, scan k taking bin 16k;
//  - the columns: the conditions, in order of first onset, then an
//    intercept, then the cosines cos(pi·j·(2m+1)/(2n)), j = 1 .. floor(2·n·TR/H).
// Pure; the linear algebra stays inside design_matrix.cpp.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace stimloom {

inline constexpr int kBinsPerScan = 16;
inline constexpr double kResponseSeconds = 32;

// h at j·dt for j = 0 .. floor(32/dt), summing to 1.
std::vector<double> sampledResponse(double dt);

// The first and last bin an event fills, before the grid cuts them: the first
// may be negative, the last beyond the run.
std::pair<std::int64_t, std::int64_t> eventBins(double onset, double duration, double dt);

struct DesignEvent {
  std::size_t condition = 0;  // a place in the run's list of condition names
  double onset = 0;           // seconds from time zero
  double duration = 0;        // seconds, at least 0
};

struct DesignSpec {
  double tr = 0;           // seconds
  std::int64_t scans = 0;  // n
  double highPass = 128;   // H, seconds
};

struct DesignMatrix {
  std::size_t rows = 0;                 // the scans
  std::vector<std::string> conditions;  // the condition columns' names, first
  std::size_t drifts = 0;               // the cosine columns, after the intercept
  std::vector<double> values;           // column by column, rows values each
  // Conditions given that fill no bin of the grid: they have no column.
  std::vector<std::string> outsideTheScan;

  std::size_t columns() const { return conditions.size() + 1 + drifts; }
  double at(std::size_t row, std::size_t column) const { return values[column * rows + row]; }
};

// The matrix of one run. `names` are the events' conditions; a condition with
// no event inside the grid gets no column (and is listed as such). Throws
// std::invalid_argument for a TR, scan count or high-pass cut-off that is
// not a positive finite number, or a grid too large to hold.
DesignMatrix designMatrix(const std::vector<DesignEvent>& events, const std::vector<std::string>& names,
                          const DesignSpec& spec);

struct DesignFigures {
  std::size_t rank = 0;  // numerical, as numpy's matrix_rank: singular values above max(S)·max(M, N)·eps
  // Between condition regressors once the intercept and the drifts are
  // projected out (Pearson's r); NaN where a regressor has nothing left.
  std::vector<std::vector<double>> correlation;
  // 1 / (1 - R²) of each condition regressed on every other column, R²
  // against the centred total sum of squares; infinite when aliased.
  std::vector<double> vif;
  // 1 / [(XᵀX)⁻¹]cc, the residual sum of squares of the condition on every
  // other column; 0 when aliased.
  std::vector<double> efficiency;
  // Conditions that the other columns span: dropping one leaves the rank.
  std::vector<bool> aliased;
};

DesignFigures designFigures(const DesignMatrix& matrix);

}  // namespace stimloom
