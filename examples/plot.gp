# Plots the daily and monthly mean discharge of the bundled example from skarvel's two output
# files. Run it where flow.tat and flow.mat are, for example after the example run:
#   cmake --workflow --preset example && cd build/release/example && gnuplot ../../../examples/plot.gp
# It writes flow.png (the README's picture is docs/flow.png).
set terminal pngcairo size 900,400 font "sans,10"
set output "flow.png"
set datafile separator "\t"
set xdata time
set format x "%d %b"
set timefmt "%Y-%m-%d"
set xrange ["2001-01-01":"2001-04-01"]
set xtics "2001-01-01", 14 * 86400
set ylabel "discharge [m³/s]"
set title "examples/flow.dat: gauge Hollfeld, January to March 2001"
set grid
set key top right

day(y, m, d) = strptime("%Y-%m-%d", sprintf("%d-%d-%d", y, m, d))
# Data rows only: three header lines are skipped, the final row (year 0) and days without
# a valid value (-9999) are left out.
shown(y, v) = (y > 0 && v > -9999) ? v : NaN

# Daily means at noon of their day; monthly means as bars from the first to the last day.
plot "flow.tat" skip 3 using (day($1, $2, $3) + 43200):(shown($1, $5)) \
       with lines lw 1.5 lc rgb "#4a90c2" title "daily mean", \
     "flow.mat" skip 3 using (day($1, $2, 1)):(shown($1, $5)):(day($1, $2, $3) + 86400 - day($1, $2, 1)):(0) \
       with vectors nohead lw 4 lc rgb "#d0542c" title "monthly mean"
