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
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "app/viewer_state.h"
#include "collision/contact_state.h"
#include "collision/sphere_motion.h"
#include "scene/scene_builder.h"

namespace sweepview {

namespace {

// A JSON value; numbers keep their text so that floats are read back exactly.
struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    std::string text;  // a number's or a string's
    std::vector<Json> items;
    std::map<std::string, Json> members;

    const Json* get(const std::string& name) const {
        const auto found = members.find(name);
        return kind == Object && found != members.end() ? &found->second : nullptr;
    }
};

// Just enough JSON for the audit's report: any malformed input is refused.
class JsonParser {
public:
    explicit JsonParser(const std::string& text) : text_(text) {}

    bool parse(Json& value, std::string* why) {
        if (!parseValue(value, 0) || (skipSpace(), at_ != text_.size())) {
            *why = "not valid JSON near byte " + std::to_string(at_);
            return false;
        }
        return true;
    }

private:
    void skipSpace() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' ||
                                      text_[at_] == '\r' || text_[at_] == '\t')) {
            ++at_;
        }
    }
    bool take(char c) {
        skipSpace();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool parseString(std::string& out) {
        if (!take('"')) {
            return false;
        }
        while (at_ < text_.size() && text_[at_] != '"') {
            if (text_[at_] == '\\') {
                if (++at_ >= text_.size()) {
                    return false;
                }
                if (text_[at_] == 'u') {  // only the report's control characters
                    if (at_ + 4 >= text_.size()) {
                        return false;
                    }
                    out += static_cast<char>(
                        std::strtol(text_.substr(at_ + 1, 4).c_str(), nullptr, 16));
                    at_ += 5;
                    continue;
                }
            }
            out += text_[at_++];
        }
        return take('"');
    }
    bool parseValue(Json& value, int depth) {
        skipSpace();
        if (depth > 32 || at_ >= text_.size()) {
            return false;
        }
        const char c = text_[at_];
        if (c == '{') {
            value.kind = Json::Object;
            ++at_;
            if (take('}')) {
                return true;
            }
            do {
                std::string name;
                Json member;
                if (!parseString(name) || !take(':') || !parseValue(member, depth + 1)) {
                    return false;
                }
                value.members[name] = std::move(member);
            } while (take(','));
            return take('}');
        }
        if (c == '[') {
            value.kind = Json::Array;
            ++at_;
            if (take(']')) {
                return true;
            }
            do {
                value.items.emplace_back();
                if (!parseValue(value.items.back(), depth + 1)) {
                    return false;
                }
            } while (take(','));
            return take(']');
        }
        if (c == '"') {
            value.kind = Json::String;
            return parseString(value.text);
        }
        for (const char* word : {"null", "true", "false"}) {
            if (text_.compare(at_, std::strlen(word), word) == 0) {
                value.kind = word[0] == 'n' ? Json::Null : Json::Bool;
                value.text = word;
                at_ += std::strlen(word);
                return true;
            }
        }
        char* end = nullptr;
        std::strtod(text_.c_str() + at_, &end);
        if (end == text_.c_str() + at_) {
            return false;
        }
        value.kind = Json::Number;
        value.text.assign(text_.c_str() + at_, static_cast<const char*>(end));
        at_ = static_cast<std::size_t>(end - text_.c_str());
        return true;
    }

    const std::string& text_;
    std::size_t at_ = 0;
};

bool readNumber(const Json* value, float& out) {
    if (value == nullptr || value->kind != Json::Number) {
        return false;
    }
    out = std::strtof(value->text.c_str(), nullptr);  // %.9g text gives the same float back
    return true;
}

bool readWhole(const Json* value, long& out) {
    float ignored = 0;
    if (!readNumber(value, ignored)) {
        return false;
    }
    out = std::strtol(value->text.c_str(), nullptr, 10);
    return true;
}

bool readPoint(const Json* value, Vec3& out) {
    if (value == nullptr || value->kind != Json::Array || value->items.size() != 3) {
        return false;
    }
    return readNumber(&value->items[0], out.x) && readNumber(&value->items[1], out.y) &&
           readNumber(&value->items[2], out.z);
}

std::string readText(const Json* value) {
    return value != nullptr && value->kind == Json::String ? value->text : std::string();
}

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
    Json report;
    std::string reason;
    const std::string content = text.str();
    if (!JsonParser(content).parse(report, &reason)) {
        *why = path + ": " + reason;
        return std::nullopt;
    }
    const Json* configuration = report.get("configuration");
    const Json* scene = report.get("scene");
    const Json* rule = configuration != nullptr ? configuration->get("edge_rule") : nullptr;
    const Json* events = report.get("events");
    if (scene == nullptr || scene->kind != Json::String || configuration == nullptr ||
        !readNumber(configuration->get("radius"), e.radius) || rule == nullptr ||
        events == nullptr) {
        *why = path + ": not a dorn audit report (no scene, configuration or events)";
        return std::nullopt;
    }
    e.report = path;
    e.scene = scene->text;
    e.sceneRelative = readText(report.get("scene_relative_to_report"));
    e.sceneAbsolute = readText(report.get("scene_absolute"));
    e.edgeRule = rule->text == "exact" ? EdgeRule::Exact : EdgeRule::Design;
    const Json* faces = configuration->get("faces");  // absent from one-sided reports of 0.3.0
    e.faceSides = faces != nullptr && faces->text == "two-sided" ? FaceSides::Two : FaceSides::One;
    const Json* kind = events->get(e.kind);
    const Json* list = kind != nullptr ? kind->get("first") : nullptr;
    if (list == nullptr || list->kind != Json::Array) {
        *why = path + ": no events of kind '" + e.kind + "' in the report";
        return std::nullopt;
    }
    if (static_cast<std::size_t>(e.index) >= list->items.size()) {
        *why = path + ": the report lists " + std::to_string(list->items.size()) + " " + e.kind +
               " events, so there is no " + event;
        return std::nullopt;
    }
    const Json& found = list->items[static_cast<std::size_t>(e.index)];
    long triangle = -1;
    Vec3 position;
    if (!readWhole(found.get("start"), e.start) || !readWhole(found.get("step"), e.step) ||
        !readWhole(found.get("triangle"), triangle) ||
        !readPoint(found.get("position"), position)) {
        *why = path + ": " + event + " lacks its start, step, position or triangle";
        return std::nullopt;
    }
    if (!readPoint(found.get("flight_start"), e.flightStart) ||
        !readPoint(found.get("flight_velocity"), e.flightVelocity)) {
        *why = path + ": " + event +
               " has no flight_start and flight_velocity (a report of an older dorn cannot be "
               "replayed)";
        return std::nullopt;
    }
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
    e.triangle = static_cast<std::int32_t>(triangle);
    e.detail = readText(found.get("detail"));
    e.positionText = reportPoint(position);
    return e;
}

ReplayResult replayFlight(CollisionMesh& scene, const ReplayEvent& event) {
    fillBoundsCaches(scene);
    spherePosition = event.flightStart;
    sphereVelocity = event.flightVelocity;
    sphereRadius = event.radius;
    edgeRule = event.edgeRule;
    faceSides = event.faceSides;
    const SweepOptions rules(edgeRule, faceSides);
    contactState.hitTriangles.clear();
    const bool before = event.kind == "escape" || event.kind == "non-number";
    ReplayResult result;
    const auto note = [&](const Vec3& centre, const Vec3& normal, std::int32_t triangle) {
        result.lastStepContacts.push_back({centre, normal, triangle, contactState.nearestTime});
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
