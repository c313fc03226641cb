#include <gtest/gtest.h>

#include <sstream>

#include "report/audit_report_format.h"

using namespace sweepview;

namespace {

// Every section of a report, with numbers a float or a whole type must carry
// exactly (thirds, the largest seed) and a scene name needing escapes.
AuditReport reportWithEverySection() {
    AuditReport r;
    r.scene = "rooms/a \"quoted\"\\name.dorn";
    r.sceneRelativeToReport = "../rooms/a.dorn";
    r.sceneAbsolute = "/home/u/rooms/a.dorn";
    r.triangles = 123456;
    r.starts = 1000;
    r.steps = 2000;
    r.radius = 1.0f / 3.0f;
    r.speed = 2.5e-7f;
    r.seed = 18446744073709551615u;
    r.exactEdges = true;
    r.twoSided = true;
    r.closedSolidInside = 2;
    r.closedSolidOutside = 1;
    r.openParts = 3;
    r.regionGrown = true;
    r.regionMin = {-75.125f, -1e-20f, 0.1f};
    r.regionMax = {75, 3e18f, -0.0f};
    r.mesh[0] = {3, {{0, {{-40, -40, -40}, {40, -40, 40}}}, {14, {{1, 2, 3}, {4, 5, 6}}}}};
    r.mesh[3] = {1, {{7, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}}}};
    r.stepsFlown = 4000000000000;
    r.contacts = 83;
    r.startsSkipped = 4;
    r.flewOff = 5;
    r.hotSpots = {{16, 9}, {604, 1}};
    return r;
}

// One event of each kind, as the audit keeps them; the last without its
// flight, as reports written before flights were kept.
TEST(AuditReportFormat, EveryKindOfEventReadsBackAsWritten) {
    const struct {
        AuditEventKind kind;
        AuditReportEvent event;
    } events[] = {
        {AuditEventKind::Escape, {12, 345, {1.5f, -2.25f, 3e-7f}, 17, "", true, {0.1f, 12.5f, -3}, {1, -1, 0.7f}}},
        {AuditEventKind::Overlap,
         {0, 1, {23.2573051f, -20.7275314f, 11.6103392f}, 726, "at a contact, nearest edge", true,
          {40.1768188f, -42.2301254f, 30.2707825f}, {0.537492216f, -0.173504725f, -1.11512256f}}},
        {AuditEventKind::Wedged, {999, 2000, {-5, 5, -5}, -1, "", true, {-5, 5, 4}, {0, 0, -1.25f}}},
        {AuditEventKind::Bump, {14, 60, {16.168026f, -15.8896389f, 2.2403667f}, 604, "corner", true,
                                {-6.23973083f, 0.663650513f, -44.9511261f}, {0.511115849f, -0.377576947f, 1.0f}}},
        {AuditEventKind::NonNumber, {3, 7, {1e18f, -1e18f, 0}, -1, "tab\there \"quoted\"", false, {}, {}}},
    };
    AuditReport report = reportWithEverySection();
    for (const auto& [kind, event] : events) {
        AuditReportEvents& kept = report.events[static_cast<std::size_t>(kind)];
        kept.first.push_back(event);
        kept.count = 10 + static_cast<std::uint64_t>(kind);
        kept.starts = static_cast<std::uint64_t>(kind);
    }
    std::ostringstream json;
    writeAuditReportJson(json, report);
    std::string why;
    const std::optional<AuditReport> back = readAuditReportJson(json.str(), &why);
    ASSERT_TRUE(back) << why << "\n" << json.str();
    for (const auto& [kind, event] : events) {
        SCOPED_TRACE(AUDIT_EVENT_NAMES[static_cast<int>(kind)]);
        const AuditReportEvents& read = back->events[static_cast<std::size_t>(kind)];
        ASSERT_EQ(read.first.size(), 1u);
        EXPECT_EQ(read.first[0], event);
        EXPECT_EQ(read.count, report.events[static_cast<std::size_t>(kind)].count);
        EXPECT_EQ(read.starts, report.events[static_cast<std::size_t>(kind)].starts);
    }
    EXPECT_EQ(*back, report) << json.str();
}

}  // namespace
