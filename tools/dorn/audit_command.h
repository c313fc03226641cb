#pragma once

#include "tools/dorn/audit.h"

namespace sweepview {

// Exit status of `dorn audit` when a finding named in --fail-on was found.
inline constexpr int AUDIT_FINDINGS_FAILED = 3;
// Exit status of `dorn audit` when starts without a clear point were skipped,
// so fewer steps were flown than asked (a gate must not pass on nothing).
inline constexpr int AUDIT_TOO_FEW_STEPS = 4;

// `dorn audit`: the mesh's static checks, then the flights, on every core;
// the summary on standard output, the JSON report and the coloured PLY where
// asked. Returns 0, AUDIT_FINDINGS_FAILED when a finding named in
// options.failOn was found (all of them named on standard error), else
// AUDIT_TOO_FEW_STEPS when starts were skipped, or 1 when the scene cannot be loaded or a file
// cannot be written (the reason on standard error).
[[nodiscard]] int runAudit(AuditOptions options);

}  // namespace sweepview
