#include "report/audit_report_format.h"

#include <charconv>
#include <cmath>
#include <concepts>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <utility>

namespace sweepview {

namespace {

std::string number(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void writeMesh(std::ostream& out, const AuditReport& r) {
    out << "\n  \"mesh\": {";
    for (int k = 0; k < MESH_FINDING_KINDS; ++k) {
        const AuditReportMeshFinding& finding = r.mesh[k];
        out << (k ? "," : "") << "\n    " << quoted(MESH_FINDING_NAMES[k]) << ": {\"count\": " << finding.count
            << ", \"first\": [";
        for (std::size_t i = 0; i < finding.first.size(); ++i) {
            out << (i ? ", " : "") << "{\"index\": " << finding.first[i].index << ", \"points\": [";
            const std::vector<Vec3>& points = finding.first[i].points;
            for (std::size_t p = 0; p < points.size(); ++p) {
                out << (p ? ", " : "") << auditReportPoint(points[p]);
            }
            out << "]}";
        }
        out << "]}";
    }
    out << "\n  },";
}

void writeEvents(std::ostream& out, const AuditReport& r) {
    out << "\n  \"events\": {";
    for (int k = 0; k < AUDIT_EVENT_KINDS; ++k) {
        const AuditReportEvents& kind = r.events[k];
        out << (k ? "," : "") << "\n    " << quoted(AUDIT_EVENT_NAMES[k]) << ": {\"count\": " << kind.count
            << ", \"starts\": " << kind.starts << ", \"first\": [";
        for (std::size_t i = 0; i < kind.first.size(); ++i) {
            const AuditReportEvent& e = kind.first[i];
            out << (i ? "," : "") << "\n      {\"start\": " << e.start << ", \"step\": " << e.step
                << ", \"position\": " << auditReportPoint(e.position) << ", \"triangle\": " << e.triangle
                << ", \"detail\": " << quoted(e.detail);
            if (e.hasFlight) {
                out << ", \"flight_start\": " << auditReportPoint(e.flightStart)
                    << ", \"flight_velocity\": " << auditReportPoint(e.flightVelocity);
            }
            out << "}";
        }
        out << "]}";
    }
    out << "\n  },";
}

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

// Just enough JSON for the report: any malformed input is refused.
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
                if (text_[at_] == 'u') {  // only the writer's control characters
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

// A value as the writer writes a field of each type; false when it is not.
bool convert(const Json& value, std::string& out) {
    out = value.text;
    return value.kind == Json::String;
}

bool convert(const Json& value, float& out) {
    // %.9g text gives the same float back; null stands for a non-number.
    out = value.kind == Json::Null ? std::numeric_limits<float>::quiet_NaN()
                                   : std::strtof(value.text.c_str(), nullptr);
    return value.kind == Json::Number || value.kind == Json::Null;
}

template <std::integral Whole>
bool convert(const Json& value, Whole& out) {
    const char* end = value.text.data() + value.text.size();
    const auto [stop, error] = std::from_chars(value.text.data(), end, out);
    return value.kind == Json::Number && error == std::errc() && stop == end;
}

bool convert(const Json& value, Vec3& out) {
    return value.kind == Json::Array && value.items.size() == 3 && convert(value.items[0], out.x) &&
           convert(value.items[1], out.y) && convert(value.items[2], out.z);
}

bool convert(const Json& value, std::vector<Vec3>& out) {
    out.resize(value.items.size());
    bool all = value.kind == Json::Array;
    for (std::size_t i = 0; all && i < out.size(); ++i) {
        all = convert(value.items[i], out[i]);
    }
    return all;
}

// Reads a report's members into typed fields, noting the first member that
// is there but not of its field's kind: such a report is refused.
class Fields {
public:
    // True when object has member name and it is of out's kind (then read
    // into out); false when it is absent (out kept) or of another kind.
    template <class Field>
    bool read(const Json& object, const char* name, Field& out) {
        const Json* value = object.get(name);
        return value != nullptr && (convert(*value, out) || wrong(name));
    }

    // Member name of object when it is of kind (an object or a list);
    // nullptr when it is absent or of another kind.
    const Json* nested(const Json& object, const char* name, Json::Kind kind) {
        const Json* value = object.get(name);
        return value == nullptr || value->kind == kind || wrong(name) ? value : nullptr;
    }

    // Notes name as of the wrong kind; false.
    bool wrong(const char* name) {
        if (wrongName.empty()) {
            wrongName = name;
        }
        return false;
    }

    std::string wrongName;
};

void readConfiguration(Fields& fields, const Json& configuration, AuditReport& r) {
    fields.read(configuration, "starts", r.starts);
    fields.read(configuration, "steps", r.steps);
    fields.read(configuration, "speed", r.speed);
    fields.read(configuration, "seed", r.seed);
    std::string faces;  // absent from one-sided reports of 0.3.0
    fields.read(configuration, "faces", faces);
    r.twoSided = faces == "two-sided";
}

void readStarts(Fields& fields, const Json& root, AuditReport& r) {
    const Json* starts = fields.nested(root, "starts", Json::Object);
    if (starts == nullptr) {
        return;
    }
    fields.read(*starts, "closed_solid_inside", r.closedSolidInside);
    fields.read(*starts, "closed_solid_outside", r.closedSolidOutside);
    fields.read(*starts, "open", r.openParts);
    std::string region;
    fields.read(*starts, "region", region);
    r.regionGrown = region == "bounds grown by a quarter";
    fields.read(*starts, "min", r.regionMin);
    fields.read(*starts, "max", r.regionMax);
}

void readMesh(Fields& fields, const Json& root, AuditReport& r) {
    const Json* mesh = fields.nested(root, "mesh", Json::Object);
    for (int k = 0; mesh != nullptr && k < MESH_FINDING_KINDS; ++k) {
        const Json* finding = fields.nested(*mesh, MESH_FINDING_NAMES[k], Json::Object);
        const Json* first = finding ? fields.nested(*finding, "first", Json::Array) : nullptr;
        if (finding != nullptr) {
            fields.read(*finding, "count", r.mesh[k].count);
        }
        for (std::size_t i = 0; first != nullptr && i < first->items.size(); ++i) {
            AuditReportFinding& found = r.mesh[k].first.emplace_back();
            if (!fields.read(first->items[i], "index", found.index) ||
                !fields.read(first->items[i], "points", found.points)) {
                fields.wrong(MESH_FINDING_NAMES[k]);
            }
        }
    }
}

void readFlights(Fields& fields, const Json& root, AuditReport& r) {
    const Json* flights = fields.nested(root, "flights", Json::Object);
    if (flights != nullptr) {
        fields.read(*flights, "steps", r.stepsFlown);
        fields.read(*flights, "contacts", r.contacts);
        fields.read(*flights, "starts_skipped", r.startsSkipped);
        fields.read(*flights, "flew_off", r.flewOff);
    }
    const Json* hot = fields.nested(root, "hot_spots", Json::Array);
    for (std::size_t i = 0; hot != nullptr && i < hot->items.size(); ++i) {
        AuditReportHotSpot& spot = r.hotSpots.emplace_back();
        if (!fields.read(hot->items[i], "triangle", spot.triangle) ||
            !fields.read(hot->items[i], "events", spot.events)) {
            fields.wrong("hot_spots");
        }
    }
}

// The events of one kind; false with why when one lacks what every report
// has given it.
bool readEvents(Fields& fields, const Json& events, int k, AuditReportEvents& out, std::string* why) {
    const Json* kind = fields.nested(events, AUDIT_EVENT_NAMES[k], Json::Object);
    if (kind == nullptr) {
        return true;
    }
    fields.read(*kind, "count", out.count);
    fields.read(*kind, "starts", out.starts);
    const Json* first = fields.nested(*kind, "first", Json::Array);
    for (std::size_t i = 0; first != nullptr && i < first->items.size(); ++i) {
        const Json& item = first->items[i];
        AuditReportEvent& e = out.first.emplace_back();
        if (!fields.read(item, "start", e.start) || !fields.read(item, "step", e.step) ||
            !fields.read(item, "triangle", e.triangle) || !fields.read(item, "position", e.position)) {
            *why = std::string(AUDIT_EVENT_NAMES[k]) + ":" + std::to_string(i) +
                   " lacks its start, step, position or triangle";
            return false;
        }
        fields.read(item, "detail", e.detail);
        e.hasFlight = fields.read(item, "flight_start", e.flightStart) &&
                      fields.read(item, "flight_velocity", e.flightVelocity);
    }
    return true;
}

}  // namespace

std::string auditReportPoint(const Vec3& p) {
    std::string text = "[";
    text.append(number(p.x)).append(", ").append(number(p.y)).append(", ").append(number(p.z));
    return text.append("]");
}

void writeAuditReportJson(std::ostream& out, const AuditReport& r) {
    out << "{\n  \"scene\": " << quoted(r.scene);
    if (!r.sceneRelativeToReport.empty()) {
        out << ",\n  \"scene_relative_to_report\": " << quoted(r.sceneRelativeToReport);
    }
    if (!r.sceneAbsolute.empty()) {
        out << ",\n  \"scene_absolute\": " << quoted(r.sceneAbsolute);
    }
    out << ",\n  \"triangles\": " << r.triangles << ",\n  \"configuration\": {\"starts\": " << r.starts
        << ", \"steps\": " << r.steps << ", \"radius\": " << number(r.radius)
        << ", \"speed\": " << number(r.speed)
        << ", \"seed\": " << r.seed << ", \"edge_rule\": \"" << (r.exactEdges ? "exact" : "viewer")
        << "\", \"faces\": \"" << (r.twoSided ? "two-sided" : "one-sided")
        << "\"},\n  \"starts\": {\"closed_solid_inside\": " << r.closedSolidInside
        << ", \"closed_solid_outside\": " << r.closedSolidOutside << ", \"open\": " << r.openParts
        << ", \"region\": \"" << (r.regionGrown ? "bounds grown by a quarter" : "bounds")
        << "\", \"min\": " << auditReportPoint(r.regionMin)
        << ", \"max\": " << auditReportPoint(r.regionMax) << "},";
    writeMesh(out, r);
    out << "\n  \"flights\": {\"steps\": " << r.stepsFlown << ", \"contacts\": " << r.contacts
        << ", \"starts_skipped\": " << r.startsSkipped << ", \"flew_off\": " << r.flewOff << "},";
    writeEvents(out, r);
    out << "\n  \"hot_spots\": [";
    for (std::size_t i = 0; i < r.hotSpots.size(); ++i) {
        out << (i ? ", " : "") << "{\"triangle\": " << r.hotSpots[i].triangle
            << ", \"events\": " << r.hotSpots[i].events << "}";
    }
    out << "]\n}\n";
}

std::optional<AuditReport> readAuditReportJson(const std::string& text, std::string* why) {
    Json root;
    if (!JsonParser(text).parse(root, why)) {
        return std::nullopt;
    }
    AuditReport r;
    Fields fields;
    const Json* configuration = fields.nested(root, "configuration", Json::Object);
    const Json* events = fields.nested(root, "events", Json::Object);
    std::string rule;
    if (!fields.read(root, "scene", r.scene) || configuration == nullptr || events == nullptr ||
        !fields.read(*configuration, "radius", r.radius) ||
        !fields.read(*configuration, "edge_rule", rule)) {
        *why = "not a dorn audit report (no scene, configuration or events)";
        return std::nullopt;
    }
    r.exactEdges = rule == "exact";
    fields.read(root, "scene_relative_to_report", r.sceneRelativeToReport);
    fields.read(root, "scene_absolute", r.sceneAbsolute);
    fields.read(root, "triangles", r.triangles);
    readConfiguration(fields, *configuration, r);
    readStarts(fields, root, r);
    readMesh(fields, root, r);
    readFlights(fields, root, r);
    for (int k = 0; k < AUDIT_EVENT_KINDS; ++k) {
        if (!readEvents(fields, *events, k, r.events[k], why)) {
            return std::nullopt;
        }
    }
    if (!fields.wrongName.empty()) {
        *why = "the report's '" + fields.wrongName + "' is not as dorn audit writes it";
        return std::nullopt;
    }
    return r;
}

}  // namespace sweepview
