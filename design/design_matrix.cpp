#include "design/design_matrix.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>

namespace stimloom {
namespace {

// The largest matrix the check builds: rows times columns, about 160 MB.
constexpr double kMostValues = 2e7;

// 5! and 15!.
constexpr double kFactorial5 = 120;
constexpr double kFactorial15 = 1307674368000;

double response(double t) {
  return std::pow(t, 5) * std::exp(-t) / kFactorial5 - std::pow(t, 15) * std::exp(-t) / kFactorial15 / 6;
}

bool positiveFinite(double value) { return std::isfinite(value) && value > 0; }

// A double as a bin number, held within +-2^62 so that no conversion overflows.
std::int64_t binOf(double value) {
  constexpr double kFar = 4611686018427387904.0;
  if (std::isnan(value)) return 0;
  return static_cast<std::int64_t>(std::clamp(value, -kFar, kFar));
}

struct Span {
  std::int64_t first = 0;
  std::int64_t last = 0;
};

// One condition's filled bins inside [0, bins) as disjoint spans in order.
std::vector<Span> filledSpans(const std::vector<DesignEvent>& events, std::size_t condition, double dt,
                              std::int64_t bins) {
  std::vector<Span> spans;
  for (const DesignEvent& event : events) {
    if (event.condition != condition) continue;
    auto [first, last] = eventBins(event.onset, event.duration, dt);
    first = std::max<std::int64_t>(first, 0);
    last = std::min(last, bins - 1);
    if (first <= last) spans.push_back({first, last});
  }
  std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.first < b.first; });
  std::vector<Span> merged;
  for (const Span& span : spans) {
    if (!merged.empty() && span.first <= merged.back().last + 1) {
      merged.back().last = std::max(merged.back().last, span.last);
    } else {
      merged.push_back(span);
    }
  }
  return merged;
}

// The condition's bins convolved with the response, at bins 16k. A span of
// filled bins adds to scan k the response's samples from 16k - last to
// 16k - first, which the running sums give at once.
void convolve(const std::vector<Span>& spans, const std::vector<double>& runningSum, std::size_t scans,
              double* column) {
  const auto length = static_cast<std::int64_t>(runningSum.size());
  // The response's samples 0 .. m summed; 0 before the first, all after the last.
  const auto summedTo = [&](std::int64_t m) {
    return m < 0 ? 0.0 : runningSum[static_cast<std::size_t>(std::min(m, length - 1))];
  };
  for (const Span& span : spans) {
    const std::int64_t firstScan = (span.first + kBinsPerScan - 1) / kBinsPerScan;
    const std::int64_t lastScan =
        std::min<std::int64_t>((span.last + length - 1) / kBinsPerScan, static_cast<std::int64_t>(scans) - 1);
    for (std::int64_t k = firstScan; k <= lastScan; ++k) {
      const std::int64_t bin = k * kBinsPerScan;
      column[k] += summedTo(bin - span.first) - summedTo(bin - span.last - 1);
    }
  }
}

using Eigen::MatrixXd;
using Eigen::VectorXd;

struct ColumnSpace {
  std::size_t rank = 0;
  MatrixXd basis;  // orthonormal, rank columns
};

// numpy's matrix_rank: singular values above max(S)·max(M, N)·eps.
ColumnSpace columnSpace(const MatrixXd& m, bool withBasis) {
  ColumnSpace space;
  if (m.rows() == 0 || m.cols() == 0) return space;
  Eigen::JacobiSVD<MatrixXd> svd(m, withBasis ? static_cast<unsigned int>(Eigen::ComputeThinU) : 0u);
  const VectorXd& s = svd.singularValues();
  const double tolerance =
      s.maxCoeff() * static_cast<double>(std::max(m.rows(), m.cols())) * std::numeric_limits<double>::epsilon();
  for (Eigen::Index i = 0; i < s.size(); ++i) space.rank += s[i] > tolerance ? 1u : 0u;
  if (withBasis) space.basis = svd.matrixU().leftCols(static_cast<Eigen::Index>(space.rank));
  return space;
}

VectorXd residual(const VectorXd& v, const MatrixXd& basis) {
  if (basis.cols() == 0) return v;
  return v - basis * (basis.transpose() * v);
}

MatrixXd withoutColumn(const MatrixXd& m, Eigen::Index column) {
  MatrixXd rest(m.rows(), m.cols() - 1);
  rest.leftCols(column) = m.leftCols(column);
  rest.rightCols(m.cols() - column - 1) = m.rightCols(m.cols() - column - 1);
  return rest;
}

}  // namespace

std::vector<double> sampledResponse(double dt) {
  if (!positiveFinite(dt)) throw std::invalid_argument("the grid's step is not a positive number");
  const double last = std::floor(kResponseSeconds / dt);
  if (last > kMostValues) throw std::invalid_argument("the response would take too many samples");
  std::vector<double> samples(static_cast<std::size_t>(last) + 1);
  double sum = 0;
  for (std::size_t j = 0; j < samples.size(); ++j) {
    samples[j] = response(static_cast<double>(j) * dt);
    sum += samples[j];
  }
  for (double& sample : samples) sample /= sum;
  return samples;
}

std::pair<std::int64_t, std::int64_t> eventBins(double onset, double duration, double dt) {
  const std::int64_t first = binOf(std::floor(onset / dt));
  const std::int64_t last = binOf(std::ceil((onset + duration) / dt)) - 1;
  return {first, std::max(first, last)};
}

DesignMatrix designMatrix(const std::vector<DesignEvent>& events, const std::vector<std::string>& names,
                          const DesignSpec& spec) {
  if (!positiveFinite(spec.tr)) throw std::invalid_argument("the TR is not a positive number");
  if (spec.scans < 1) throw std::invalid_argument("the run has no scan");
  if (!positiveFinite(spec.highPass)) throw std::invalid_argument("the high-pass cut-off is not a positive number");
  const double drifts = std::floor(2 * static_cast<double>(spec.scans) * spec.tr / spec.highPass);
  const double dt = spec.tr / kBinsPerScan;
  const auto n = static_cast<std::size_t>(spec.scans);

  // Conditions in order of first onset, among those with a bin in the grid.
  const std::int64_t bins = spec.scans * kBinsPerScan;
  std::vector<std::vector<Span>> spans(names.size());
  std::vector<double> firstOnset(names.size(), std::numeric_limits<double>::infinity());
  std::vector<bool> hasEvents(names.size(), false);
  for (const DesignEvent& event : events) {
    if (event.condition >= names.size()) continue;
    firstOnset[event.condition] = std::min(firstOnset[event.condition], event.onset);
    hasEvents[event.condition] = true;
  }
  DesignMatrix matrix;
  matrix.rows = n;
  std::vector<std::size_t> order;
  for (std::size_t c = 0; c < names.size(); ++c) {
    if (!hasEvents[c]) continue;
    spans[c] = filledSpans(events, c, dt, bins);
    if (spans[c].empty()) {
      matrix.outsideTheScan.push_back(names[c]);
    } else {
      order.push_back(c);
    }
  }
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return firstOnset[a] < firstOnset[b]; });
  const double columns = static_cast<double>(order.size()) + 1 + drifts;
  if (columns * static_cast<double>(n) > kMostValues) {
    throw std::invalid_argument("the design would hold " + std::to_string(static_cast<std::int64_t>(columns)) +
                                " columns of " + std::to_string(n) + " scans, more than the check models");
  }
  matrix.drifts = static_cast<std::size_t>(drifts);
  for (const std::size_t c : order) matrix.conditions.push_back(names[c]);
  matrix.values.assign(matrix.columns() * n, 0.0);

  std::vector<double> runningSum = sampledResponse(dt);
  for (std::size_t j = 1; j < runningSum.size(); ++j) runningSum[j] += runningSum[j - 1];
  for (std::size_t column = 0; column < order.size(); ++column) {
    convolve(spans[order[column]], runningSum, n, matrix.values.data() + column * n);
  }
  double* intercept = matrix.values.data() + order.size() * n;
  std::fill(intercept, intercept + n, 1.0);
  for (std::size_t j = 1; j <= matrix.drifts; ++j) {
    double* drift = intercept + j * n;
    for (std::size_t m = 0; m < n; ++m) {
      drift[m] = std::cos(std::numbers::pi * static_cast<double>(j) * static_cast<double>(2 * m + 1) /
                          static_cast<double>(2 * n));
    }
  }
  return matrix;
}

DesignFigures designFigures(const DesignMatrix& matrix) {
  const auto rows = static_cast<Eigen::Index>(matrix.rows);
  const auto columns = static_cast<Eigen::Index>(matrix.columns());
  const auto conditions = static_cast<Eigen::Index>(matrix.conditions.size());
  const Eigen::Map<const MatrixXd> x(matrix.values.data(), rows, columns);
  DesignFigures figures;
  figures.rank = columnSpace(x, false).rank;

  // The conditions once the intercept and the drifts are projected out.
  const ColumnSpace nuisance = columnSpace(x.rightCols(columns - conditions), true);
  std::vector<VectorXd> cleaned;
  std::vector<double> norms;
  for (Eigen::Index c = 0; c < conditions; ++c) {
    cleaned.push_back(residual(x.col(c), nuisance.basis));
    const double norm = cleaned.back().norm();
    // What is left of a regressor the nuisance columns span is rounding.
    const double scale = x.col(c).norm();
    norms.push_back(norm > scale * static_cast<double>(rows) * std::numeric_limits<double>::epsilon() ? norm : 0.0);
  }
  const auto count = static_cast<std::size_t>(conditions);
  figures.correlation.assign(count, std::vector<double>(count, std::numeric_limits<double>::quiet_NaN()));
  for (std::size_t a = 0; a < count; ++a) {
    for (std::size_t b = 0; b < count; ++b) {
      if (norms[a] == 0 || norms[b] == 0) continue;
      figures.correlation[a][b] = a == b ? 1.0 : cleaned[a].dot(cleaned[b]) / (norms[a] * norms[b]);
    }
  }

  for (Eigen::Index c = 0; c < conditions; ++c) {
    const MatrixXd others = withoutColumn(x, c);
    const ColumnSpace rest = columnSpace(others, true);
    const bool aliased = rest.rank == figures.rank;
    figures.aliased.push_back(aliased);
    if (aliased) {
      figures.vif.push_back(std::numeric_limits<double>::infinity());
      figures.efficiency.push_back(0);
      continue;
    }
    const VectorXd column = x.col(c);
    const double unexplained = residual(column, rest.basis).squaredNorm();
    const double total = (column.array() - column.mean()).matrix().squaredNorm();
    figures.efficiency.push_back(unexplained);
    figures.vif.push_back(total / unexplained);
  }
  return figures;
}

}  // namespace stimloom
