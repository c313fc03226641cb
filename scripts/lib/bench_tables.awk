# Markdown tables from sweep_bench's CSV (medians only):
#   awk -F, -f scripts/lib/bench_tables.awk docs/performance/sweep_bench.csv
/^name,/ { for (i = 1; i <= NF; ++i) { h = $i; gsub(/"/, "", h); col[h] = i } next }
!/_median"/ { next }
{
    name = $1; gsub(/"/, "", name); sub(/_median$/, "", name); sub(/\/min_time:[0-9.]+/, "", name)
    split(name, part, "/")
    if (part[1] == "Sweep") {
        radius = part[3] == "r=2.5" ? "2.5" : "1% of diagonal"
        len = part[4] == "len=sqrt3" ? "1.73" : "diagonal/10"
        edges = name ~ /\/exact/ ? "exact" : "viewer's"
        # Jolt's columns only from a sweep_bench built with it; "-" for a mesh it refused.
        jolt = ""
        if ("jolt_per_s" in col)
            jolt = $col["jolt_per_s"] == "" ? " - | - |" \
                 : sprintf(" %.0f | %.1f |", $col["jolt_per_s"], $col["jolt_ratio"])
        if ("bytes_per_triangle" in col) bytesPerTriangle[part[2]] = $col["bytes_per_triangle"]
        sweeps[++n] = sprintf("| %s | %d | %s | %s | %s | %.0f | %.0f | %.1f |%s %.0f | %.1f |", part[2],
                              $col["triangles"], radius, len, edges, $col["ours_per_s"], $col["bullet_per_s"],
                              $col["ratio"], jolt, $col["embree_per_s"], $col["embree_ratio"])
    } else if (part[1] == "ReadScene") {
        order[++m] = part[2]
        readScene[part[2]] = $col["bytes_per_second"]; readItems[part[2]] = $col["items_per_second"]
    } else if (part[1] == "ReadBytes") {
        readBytes[part[2]] = $col["bytes_per_second"]
    } else if (part[1] == "Batch") {
        batches[++b] = sprintf("| %s | %d | %s | %.0f | %s |", part[2], $col["triangles"],
                               substr(part[3], 9), $col["ours_per_s"],
                               $col["ratio"] == "" ? "-" : sprintf("%.2f", $col["ratio"]))
    } else if (part[1] == "FrameStep") {
        steps[part[2]] = $col["items_per_second"]
    }
}
END {
    withJolt = "jolt_per_s" in col
    print "| Scene | Triangles | Radius | Length | Edge rule | Ours (sweeps/s) | Bullet (sweeps/s) | Ours : Bullet |" \
          (withJolt ? " Jolt (sweeps/s) | Ours : Jolt |" : "") " Embree (rays/s) | Embree : ours |"
    print "|---|---|---|---|---|---|---|---|" (withJolt ? "---|---|" : "") "---|---|"
    for (i = 1; i <= n; ++i) print sweeps[i]
    if (b > 0) {
        print ""
        print "| Scene | Triangles | Threads | sweepBatch (sweeps/s) | Speedup over one thread |"
        print "|---|---|---|---|---|"
        for (i = 1; i <= b; ++i) print batches[i]
    }
    print ""
    print "| Scene | Reader (MB/s) | Reader (triangles/s) | Plain read of the bytes (MB/s) | Ratio | Frame steps/s | Query form (bytes/triangle) |"
    print "|---|---|---|---|---|---|---|"
    for (i = 1; i <= m; ++i) {
        s = order[i]
        printf "| %s | %.0f | %.0f | %.0f | %.2f | %s | %s |\n", s, readScene[s] / 1e6, readItems[s],
               readBytes[s] / 1e6, readScene[s] / readBytes[s], s in steps ? sprintf("%.0f", steps[s]) : "-",
               s in bytesPerTriangle ? sprintf("%.0f", bytesPerTriangle[s]) : "-"
    }
}
