# Markdown tables from sweep_bench's CSV (medians only):
#   awk -F, -f scripts/lib/bench_tables.awk docs/performance/sweep_bench.csv
# A counter a row has no value for is empty or NaN in the CSV.
function has(v) { return v != "" && v !~ /nan/ }
function val(name) { return name in col ? $col[name] : "" }
function us(perSecond) { return has(perSecond) && perSecond > 0 ? sprintf("%.2f", 1e6 / perSecond) : "-" }
# Ratios far below 1 keep two significant digits rather than rounding to 0.00.
function ratio(v) { return !has(v) ? "-" : sprintf(v >= 0.1 ? "%.2f" : "%.2g", v) }
# A captioned table: its header row, a separator with as many columns, then rows[1..n].
function table(caption, header, rows, n,    i, separator) {
    separator = header
    gsub(/[^|]+/, "---", separator)
    print ""
    print caption
    print ""
    print header
    print separator
    for (i = 1; i <= n; ++i) print rows[i]
}
function hits(share, count) { return has(share) ? sprintf("%d", share * count + 0.5) : "-" }
/^name,/ { for (i = 1; i <= NF; ++i) { h = $i; gsub(/"/, "", h); col[h] = i } next }
!/_median"/ { next }
{
    name = $1; gsub(/"/, "", name); sub(/_median$/, "", name); sub(/\/min_time:[0-9.]+/, "", name)
    split(name, part, "/")
    radius = part[3] == "r=2.5" ? "2.5" : "1% of diagonal"
    len = part[4] == "len=sqrt3" ? "1.73" : "diagonal/10"
    count = has(val("sweeps")) ? val("sweeps") : 2000
    joltHere = has(val("jolt_per_s"))
    if (part[1] == "Sweep") {
        edges = (name ~ /\/exact/ ? "exact" : "viewer's") (name ~ /\/two-sided/ ? ", two-sided" : "")
        # Jolt's columns only when some row has Jolt's figures (a sweep_bench
        # built with it); "-" for a mesh it refused.
        if (joltHere) anyJolt = 1
        sweepJolt[n + 1] = !joltHere ? " - | - |" : sprintf(" %.0f | %.1f |", $col["jolt_per_s"], $col["jolt_ratio"])
        if (has(val("bytes_per_triangle"))) bytesPerTriangle[part[2]] = val("bytes_per_triangle")
        sweeps[++n] = sprintf("| %s | %d | %s | %s | %s | %.0f | %.0f | %.1f |", part[2],
                              $col["triangles"], radius, len, edges, $col["ours_per_s"], $col["bullet_per_s"],
                              $col["ratio"])
        sweepEmbree[n] = sprintf(" %.0f | %.1f |", $col["embree_per_s"], $col["embree_ratio"])
        # The all-contacts pairing: sweepQuery beside Jolt keeping every hit within 1e-4 of the nearest.
        sides = name ~ /\/two-sided/ ? "Two / CollideWithBackFaces" : "One / IgnoreBackFaces"
        rule = name ~ /\/exact/ ? "exact" : "viewer's"
        contacts = has(val("contacts")) ? sprintf("%d", val("contacts")) : "-"
        joltContacts = joltHere && has(val("jolt_contacts")) ? sprintf("%d", val("jolt_contacts")) : "-"
        allContacts[++na] = sprintf("| %s | %d | %s | %s | %s, %s | %s | %s | %s | %s / %s | %s | %s / %s |", part[2],
                                    $col["triangles"], radius, len, rule, sides, us($col["ours_per_s"]),
                                    joltHere ? us($col["jolt_per_s"]) : "-",
                                    joltHere ? ratio($col["jolt_ratio"]) : "-",
                                    hits($col["hit_share"], count),
                                    joltHere ? hits($col["jolt_hit_share"], count) : "-",
                                    joltHere ? hits(val("jolt_start_share"), count) : "-", contacts, joltContacts)
    } else if (part[1] == "First") {
        sides = name ~ /\/two-sided/ ? "Two / CollideWithBackFaces" : "Cull / IgnoreBackFaces"
        firsts[++nf] = sprintf("| %s | %d | %s | %s | exact, %s | %s | %s | %s | %s / %s | %s |", part[2],
                               $col["triangles"], radius, len, sides, us($col["ours_per_s"]),
                               joltHere ? us($col["jolt_per_s"]) : "-",
                               joltHere ? ratio($col["jolt_ratio"]) : "-",
                               hits($col["hit_share"], count),
                               joltHere ? hits($col["jolt_hit_share"], count) : "-",
                               joltHere ? hits(val("jolt_start_share"), count) : "-")
    } else if (part[1] == "BatchFirst") {
        batchFirsts[++nb] = sprintf("| %s | %d | %s | %s | %s | %.2f | %s | %s | %s | %s | %s / %s | %s |", part[2],
                                    $col["triangles"], substr(part[3], 9), us(val("single_per_s")),
                                    us($col["ours_per_s"]), $col["ratio"],
                                    joltHere ? us(val("jolt_single_per_s")) : "-",
                                    joltHere ? us($col["jolt_per_s"]) : "-",
                                    joltHere ? ratio(val("jolt_speedup")) : "-",
                                    joltHere ? ratio($col["jolt_ratio"]) : "-",
                                    hits($col["hit_share"], count),
                                    joltHere ? hits($col["jolt_hit_share"], count) : "-",
                                         joltHere ? hits(val("jolt_start_share"), count) : "-")
    } else if (part[1] == "Character") {
        # moveAndSlide beside Jolt's CharacterVirtual on the same walk: time per update and where each ends.
        joltWalked = has(val("jolt_us_per_update"))
        characters[++nc] = sprintf("| %s | %d | %s | %d | %s | %.1f | %s | %s | (%.2f, %.2f, %.2f) | %s | %.0f / %s | %.2f / %s | %s | %s |",
                                   part[2], $col["triangles"], substr(part[3], 3), val("updates"),
                                   sprintf("%.2f", val("ours_us_per_update")), val("ours_sweeps_per_update"),
                                   joltWalked ? sprintf("%.2f", val("jolt_us_per_update")) : "-",
                                   joltWalked ? ratio($col["jolt_ratio"]) : "-",
                                   val("ours_end_x"), val("ours_end_y"), val("ours_end_z"),
                                   joltWalked ? sprintf("(%.2f, %.2f, %.2f)", val("jolt_end_x"), val("jolt_end_y"), val("jolt_end_z")) : "-",
                                   val("ours_travel"), joltWalked ? sprintf("%.0f", val("jolt_travel")) : "-",
                                   val("ours_floor_share"), joltWalked ? sprintf("%.2f", val("jolt_floor_share")) : "-",
                                   joltWalked ? sprintf("%.3f", val("mean_gap")) : "-",
                                   joltWalked ? sprintf("%.3f", val("end_gap")) : "-")
    } else if (part[1] == "ReadScene") {
        order[++m] = part[2]
        readScene[part[2]] = $col["bytes_per_second"]; readItems[part[2]] = $col["items_per_second"]
    } else if (part[1] == "ReadBytes") {
        readBytes[part[2]] = $col["bytes_per_second"]
    } else if (part[1] == "Batch") {
        batches[++b] = sprintf("| %s | %d | %s | %.0f | %s |", part[2], $col["triangles"],
                               substr(part[3], 9), $col["ours_per_s"],
                               has($col["ratio"]) ? sprintf("%.2f", $col["ratio"]) : "-")
    } else if (part[1] == "FrameStep") {
        steps[part[2]] = $col["items_per_second"]
    }
}
END {
    withJolt = anyJolt
    if (n > 0) {
        print "| Scene | Triangles | Radius | Length | Edge rule | Ours (sweeps/s) | Bullet (sweeps/s) | Ours : Bullet |" \
              (withJolt ? " Jolt (sweeps/s) | Ours : Jolt |" : "") " Embree (rays/s) | Embree : ours |"
        print "|---|---|---|---|---|---|---|---|" (withJolt ? "---|---|" : "") "---|---|"
        for (i = 1; i <= n; ++i) print sweeps[i] (withJolt ? sweepJolt[i] : "") sweepEmbree[i]
    }
    if (withJolt && na > 0) {
        table("All contacts: `sweepQuery` beside Jolt's cast keeping every hit within 1e-4 of the nearest.",
              "| Scene | Triangles | Radius | Length | Rule, sides | Ours (µs) | Jolt (µs) | Jolt : ours | Hits ours / Jolt | Jolt's at fraction 0 | Contacts ours / Jolt |", allContacts, na)
    }
    if (nf > 0) {
        table("First contact: `sweepFirst` (exact rule) beside Jolt's `ClosestHitCollisionCollector`.",
              "| Scene | Triangles | Radius | Length | Rule, sides | Ours (µs) | Jolt (µs) | Jolt : ours | Hits ours / Jolt | Jolt's at fraction 0 |", firsts, nf)
    }
    if (nb > 0) {
        table("Batches of first contacts: `sweepFirstBatch` beside `sweepFirst` one by one; Jolt's closest hit on threads beside one by one (exact rule, Cull / IgnoreBackFaces).",
              "| Scene | Triangles | Threads | sweepFirst (µs) | sweepFirstBatch (µs) | Speedup | Jolt one by one (µs) | Jolt on threads (µs) | Jolt's speedup | Jolt : ours on threads | Hits ours / Jolt | Jolt's at fraction 0 |", batchFirsts, nb)
    }
    if (nc > 0) {
        table("Character: `moveAndSlide` beside Jolt's `CharacterVirtual::ExtendedUpdate` (a `SphereShape`) on the same walk round a ring.",
              "| Scene | Triangles | Radius | Updates | Ours (µs/update) | Our sweeps/update | Jolt (µs/update) | Jolt : ours | Our end | Jolt's end | Travelled ours / Jolt | On a floor ours / Jolt | Mean gap | End gap |", characters, nc)
    }
    if (b > 0) {
        print ""
        print "| Scene | Triangles | Threads | sweepBatch (sweeps/s) | Speedup over one thread |"
        print "|---|---|---|---|---|"
        for (i = 1; i <= b; ++i) print batches[i]
    }
    if (m > 0) {
        print ""
        print "| Scene | Reader (MB/s) | Reader (triangles/s) | Plain read of the bytes (MB/s) | Ratio | Frame steps/s | Query form (bytes/triangle) |"
        print "|---|---|---|---|---|---|---|"
    }
    for (i = 1; i <= m; ++i) {
        s = order[i]
        printf "| %s | %.0f | %.0f | %.0f | %.2f | %s | %s |\n", s, readScene[s] / 1e6, readItems[s],
               readBytes[s] / 1e6, readScene[s] / readBytes[s], s in steps ? sprintf("%.0f", steps[s]) : "-",
               s in bytesPerTriangle ? sprintf("%.0f", bytesPerTriangle[s]) : "-"
    }
}
