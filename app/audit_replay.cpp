#include "app/audit_replay.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "app/viewer_state.h"
#include "render/scene_drawing.h"
#include "collision/sphere_motion.h"
#include "report/audit_report_format.h"
#include "scene/scene_builder.h"

namespace sweepview {

namespace {

// A name or text from a report, which may have been edited, made safe for a
// terminal: control bytes shown as \xNN.
std::string printable(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            shown += escape;
        } else {
            shown += c;
        }
    }
    return shown;
}

// Empty when path opens as a regular file; else why not. Non-blocking, so
// that a FIFO does not hang the check.
std::string whyUnusable(const std::string& path) {
    if (path.find('\0') != std::string::npos) {
        return "the name holds a NUL byte";
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return std::string("cannot open: ") + std::strerror(errno);
    }
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0;
    ::close(fd);
    if (known && S_ISREG(info.st_mode)) {
        return "";
    }
    return known && S_ISDIR(info.st_mode) ? "is a directory" : "not a regular file";
}

// The paths the report's scene may have, most likely first, each once.
std::vector<std::string> sceneCandidates(const ReplayEvent& e) {
    const std::filesystem::path folder = std::filesystem::path(e.report).parent_path();
    const auto fromReport = [&](const std::string& name) {
        return folder.empty() || name.empty() ? name : (folder / name).string();
    };
    const bool older = e.sceneRelative.empty() && e.sceneAbsolute.empty();
    std::vector<std::string> candidates;
    for (const std::string& path : older ? std::vector<std::string>{e.scene, fromReport(e.scene)}
                                         : std::vector<std::string>{fromReport(e.sceneRelative),
                                                                    e.sceneAbsolute, e.scene}) {
        if (!path.empty() && std::find(candidates.begin(), candidates.end(), path) == candidates.end()) {
            candidates.push_back(path);
        }
    }
    return candidates;
}

}  // namespace

std::optional<std::string> findReplayScene(const ReplayEvent& event, std::string* why) {
    const std::vector<std::string> candidates = sceneCandidates(event);
    const std::string missing = std::string("cannot open: ") + std::strerror(ENOENT);
    std::string tried;
    std::string reason;
    for (const std::string& path : candidates) {
        const std::string unusable = whyUnusable(path);
        if (unusable.empty()) {
            return path;
        }
        tried += (tried.empty() ? "" : ", ") + printable(path);
        if (reason.empty() || (reason == missing && unusable != missing)) {
            reason = unusable;  // the first file that is there but unusable tells most
        }
    }
    *why = "the scene named by report " + printable(event.report) + ", " + printable(event.scene) +
           " (tried " + tried + "): " + (reason.empty() ? "the report names no scene" : reason);
    return std::nullopt;
}

std::string replayLine(const ReplayEvent& event, const ReplayResult& result) {
    return event.kind + ' ' + std::to_string(event.index) + ": start " + std::to_string(event.start) +
           ", step " + std::to_string(event.step) + ", position " + result.positionText + ", triangle " +
           std::to_string(event.triangle) + (event.detail.empty() ? "" : ", " + printable(event.detail));
}

std::string reportPoint(const Vec3& p) {
    char text[128];
    std::snprintf(text, sizeof text, "[%.9g, %.9g, %.9g]", static_cast<double>(p.x),
                  static_cast<double>(p.y), static_cast<double>(p.z));
    return text;
}

std::optional<ReplayEvent> readReplayEvent(const std::string& path, const std::string& event,
                                           std::string* why) {
    ReplayEvent e;
    const std::size_t colon = event.rfind(':');
    char* end = nullptr;
    e.kind = event.substr(0, colon == std::string::npos ? 0 : colon);
    e.index = colon == std::string::npos ? -1 : std::strtol(event.c_str() + colon + 1, &end, 10);
    if (e.kind.empty() || e.index < 0 || end == event.c_str() + colon + 1 || *end != '\0') {
        *why = "--event: takes KIND:INDEX, e.g. escape:0, not '" + event + "'";
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *why = path + ": cannot read the report (" + std::strerror(errno) + ")";
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (!file) {
        *why = path + ": cannot read the report";
        return std::nullopt;
    }
    std::string reason;
    const std::optional<AuditReport> report = readAuditReportJson(text.str(), &reason);
    if (!report) {
        *why = path + ": " + reason;
        return std::nullopt;
    }
    const char* const* names = std::begin(AUDIT_EVENT_NAMES);
    const std::ptrdiff_t kind = std::find(names, names + AUDIT_EVENT_KINDS, e.kind) - names;
    if (kind == AUDIT_EVENT_KINDS) {
        *why = path + ": no events of kind '" + e.kind + "' in the report";
        return std::nullopt;
    }
    const std::vector<AuditReportEvent>& list = report->events[static_cast<std::size_t>(kind)].first;
    if (static_cast<std::size_t>(e.index) >= list.size()) {
        *why = path + ": the report lists " + std::to_string(list.size()) + " " + e.kind +
               " events, so there is no " + event;
        return std::nullopt;
    }
    const AuditReportEvent& found = list[static_cast<std::size_t>(e.index)];
    if (!found.hasFlight) {
        *why = path + ": " + event +
               " has no flight_start and flight_velocity (a report of an older dorn cannot be "
               "replayed)";
        return std::nullopt;
    }
    e.report = path;
    e.scene = report->scene;
    e.sceneRelative = report->sceneRelativeToReport;
    e.sceneAbsolute = report->sceneAbsolute;
    e.radius = report->radius;
    e.edgeRule = report->exactEdges ? EdgeRule::Exact : EdgeRule::Design;
    e.faceSides = report->twoSided ? FaceSides::Two : FaceSides::One;
    e.start = found.start;
    e.step = found.step;
    e.flightStart = found.flightStart;
    e.flightVelocity = found.flightVelocity;
    // The ranges the command line takes: a report edited by hand must not
    // fly for ever or into non-numbers.
    const auto sane = [](const Vec3& v) {
        return std::fabs(v.x) <= 1e18f && std::fabs(v.y) <= 1e18f && std::fabs(v.z) <= 1e18f;
    };
    if (!(e.step >= 1 && e.step <= 1'000'000'000) || !(e.radius >= 1e-6f && e.radius <= 1e18f) ||
        !sane(e.flightStart) || !sane(e.flightVelocity)) {
        *why = path + ": " + event +
               ": step (1 to 1e9), radius (1e-06 to 1e18) or flight values (up to 1e18) out of range";
        return std::nullopt;
    }
    e.triangle = found.triangle;
    e.detail = found.detail;
    e.positionText = reportPoint(found.position);
    return e;
}

ReplayResult replayFlight(const CollisionMesh& scene, const ReplayEvent& event) {
    spherePosition = event.flightStart;
    sphereVelocity = event.flightVelocity;
    sphereRadius = event.radius;
    edgeRule = event.edgeRule;
    faceSides = event.faceSides;
    const SweepOptions rules = viewerSweepOptions();
    contactState.hitTriangles.clear();
    const bool before = event.kind == "escape" || event.kind == "non-number";
    ReplayResult result;
    const auto note = [&](const Vec3& centre, const Vec3& normal, std::int32_t triangle) {
        result.lastStepContacts.push_back(noteContact(contactState, centre, normal, triangle));
    };
    for (long step = 1; step < event.step; ++step) {
        result.lastStepContacts.clear();
        advanceSphere(scene, sphereRadius, spherePosition, sphereVelocity, contactState, rules, note);
    }
    frameCounter = static_cast<std::int32_t>(event.step - 1);
    result.position = spherePosition;
    if (!before) {
        // The event's own step; a bump is where its contact with the triangle was.
        bool bumped = false;
        result.lastStepContacts.clear();
        advanceSphere(scene, sphereRadius, spherePosition, sphereVelocity, contactState, rules,
                      [&](const Vec3& centre, const Vec3& normal, std::int32_t triangle) {
                          note(centre, normal, triangle);
                          if (!bumped && triangle == event.triangle) {
                              result.position = centre;
                              bumped = true;
                          }
                      });
        frameCounter = static_cast<std::int32_t>(event.step);
        if (event.kind != "bump") {
            result.position = spherePosition;
        }
    }
    result.positionText = reportPoint(result.position);
    return result;
}

}  // namespace sweepview
