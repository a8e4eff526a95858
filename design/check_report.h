#pragma once
// The design check as one HTML page that people read in a browser or on
// paper: everything inline (style sheet and SVG pictures), no script, and no
// address outside the page. Pure: it returns the page's text.
//
// What a program reading the page back finds:
//  - each finding in <li data-severity="error|warning|note">, whose text is
//    the finding's line exactly, errors first;
//  - the counts in <table data-table="counts">, the responses in
//    <table data-table="responses">;
//  - per run a <section data-run="INPUT"> holding the timeline the plot
//    command draws, the predicted regressors (<svg data-figure="regressors">),
//    the correlation heat map (<table data-table="correlation">, each value
//    cell with data-value holding the full value and showing 2 decimals), and
//    <table data-table="figures"> with a <tr data-condition="NAME"> per
//    condition whose cells data-vif and data-efficiency hold the full values
//    and show 7 significant digits.

#include <string>
#include <vector>

#include "design/study_check.h"

namespace stimloom {

std::string checkReportHtml(const std::vector<CheckRun>& runs, const StudyCheck& check, const CheckOptions& options);

}  // namespace stimloom
