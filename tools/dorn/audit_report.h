#pragma once

#include <ostream>
#include <string>

#include "report/audit_report_format.h"
#include "tools/dorn/audit.h"

namespace sweepview {

// The findings of one audit, as the writers below present them.
struct AuditFindings {
    const AuditOptions& options;
    const CollisionMesh& scene;
    const MeshChecks& checks;
    const FlightResults& flights;
    const MeshParts& parts;
};

// How many of the named finding (an event kind or a mesh finding) there are.
std::uint64_t findingCount(const AuditFindings& findings, const std::string& name);

// How the starts were chosen: the closed parts by their solid side, the open
// parts, and the region drawn from, in one line.
std::string startsChosen(const AuditFindings& findings);

// The summary table for a terminal; steps per second as measured.
void writeSummary(std::ostream& out, const AuditFindings& findings, double seconds, int threads);

// The findings as the JSON report holds them: the scene as named, its path
// from the folder of options.report and absolute (both empty without a
// report file), the configuration, every count, the first few static
// findings with coordinates, the first FlightResults::EVENTS_KEPT events of
// each kind with their detail and flight, and the hot spots. Nothing in it
// depends on timing or threads.
AuditReport auditReport(const AuditFindings& findings);

// The mesh as an ASCII PLY: each triangle coloured by its events (grey none,
// yellow to red many), boundary edges in red, event points as coloured
// vertices (escape blue, overlap magenta, wedged cyan, bump orange,
// non-number black).
void writePly(std::ostream& out, const AuditFindings& findings);

}  // namespace sweepview
