# Nanoseconds per covered pixel against the number of points, the radius and
# the frame size, one colour per depth, from the .dat files cost_scaling_bench
# writes with --out: measured (points) and as the fit with full and edge
# pixels apart predicts (dashed). A flat line is a cost that grows with the
# pixels drawn and nothing else.
#   gnuplot -c bench/cost_scaling.gp DATA_DIR OUT.png
dir = ARG1
out = ARG2
set terminal pngcairo size 1500,540 font "sans,11"
set output out
set multiplot layout 1,3 title "Filled antialiased circles, clear included: CPU time per frame (median) / covered pixels; dashed: fitted a·points + b·full px + e·edge px + c·frame px"
set logscale xy
set grid xtics ytics lc rgb "#dddddd"
set ylabel "ns per covered pixel"
set yrange [0.2:300]
set key top right
depths = "8 16 float"
names = "8-bit 16-bit float"
colours = "#9400d3 #009e73 #0072b2"

set xlabel "points (radius 20, 1920x1080)"
plot for [i = 1:3] dir."/cost_points.dat" index "depth ".word(depths, i) using 4:11 with linespoints lw 2 pt 7 \
         lc rgb word(colours, i) title word(names, i), \
     for [i = 1:3] dir."/cost_points.dat" index "depth ".word(depths, i) using 4:16 with lines dt 2 \
         lc rgb word(colours, i) notitle

set xlabel "radius, pixels (200 points, 1920x1080)"
plot for [i = 1:3] dir."/cost_radius.dat" index "depth ".word(depths, i) using 5:11 with linespoints lw 2 pt 7 \
         lc rgb word(colours, i) title word(names, i), \
     for [i = 1:3] dir."/cost_radius.dat" index "depth ".word(depths, i) using 5:16 with lines dt 2 \
         lc rgb word(colours, i) notitle

set xlabel "frame pixels (200 points of radius 20)"
set format x "%.0s%c"
plot for [i = 1:3] dir."/cost_frame.dat" index "depth ".word(depths, i) using ($2*$3):11 with linespoints lw 2 pt 7 \
         lc rgb word(colours, i) title word(names, i), \
     for [i = 1:3] dir."/cost_frame.dat" index "depth ".word(depths, i) using ($2*$3):16 with lines dt 2 \
         lc rgb word(colours, i) notitle
unset multiplot
