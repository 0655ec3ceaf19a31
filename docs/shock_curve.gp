# Draws the shock curve as SVG from the data that velmora_curve_table prints.
# Run through the build target curve_plot, or by hand:
#   gnuplot -e "datafile='shock_curve.dat'; outfile='shock_curve.svg'" docs/shock_curve.gp
set terminal svg size 960,640 dynamic enhanced font "Helvetica,14" background "white"
set output outfile

# The worked example, read from the data: percent at 12 and 100 inches, and the ratio.
stats datafile index 2 using 2 prefix "example_percent" nooutput
stats datafile index 2 using 3 prefix "example_ratio" nooutput
start_percent = example_percent_max
end_percent = example_percent_min
ratio = example_ratio_mean
example_colour = "#c0392b"
curve_colour = "#1f4e79"
flat_colour = "#fdf1d6"

set multiplot title "Peak pyrotechnic shock remaining along a cylindrical shell\n{/*0.8 NASA CR 116406, Pyrotechnic Shock Data, Figure 3.1}"

# The whole curve, with its flat stretches before the second node and beyond the last.
set tmargin 5
set xlabel "Distance from the shock source (inch)"
set ylabel "Remaining (percent of peak)"
set xrange [0:600]
set yrange [0:110]
set xtics 50
set ytics 10
set mxtics 5
set grid xtics ytics mxtics lc rgb "#e4e4e4" lw 1
set key at graph 0.98, graph 0.34 right box opaque font ",12"
set object 1 rect from 0,0 to 5.3659,110 fc rgb flat_colour fillstyle solid 1.0 noborder behind
set object 2 rect from 500,0 to 600,110 fc rgb flat_colour fillstyle solid 1.0 noborder behind
set label 1 "flat at 4 %\nbeyond 500 in" at 510,13 left font ",11"
set arrow 1 from 12,0 to 12,start_percent nohead dt 2 lc rgb example_colour
set arrow 2 from 100,0 to 100,end_percent nohead dt 2 lc rgb example_colour
set label 2 sprintf("remaining ratio, 12 in to 100 in:  %.3f / %.3f = %.3f", \
    end_percent/100, start_percent/100, ratio) at 115,20 left tc rgb example_colour font ",13"
plot datafile index 1 using 1:2 with lines lw 2 lc rgb curve_colour title "curve: linear between nodes", \
     datafile index 0 using 1:2 with points pt 7 ps 0.6 lc rgb curve_colour title "the 41 nodes", \
     datafile index 2 using 1:2 with points pt 6 ps 1.6 lw 2 lc rgb example_colour title "worked example"

# The first 110 inches in detail, where the nodes stand close together.
unset key
unset label
unset arrow
unset object
set tmargin 2
set origin 0.34, 0.40
set size 0.62, 0.47
set title "The first 110 inches" font ",12"
set xlabel ""
set ylabel ""
set xrange [0:110]
set xtics 10 font ",11"
set ytics 20 font ",11"
set mxtics 2
set object 3 rect from graph 0,0 to graph 1,1 fc rgb "white" fillstyle solid 1.0 behind
set object 4 rect from 0,0 to 5.3659,110 fc rgb flat_colour fillstyle solid 1.0 noborder behind
set label 3 "flat at 100 %\nto 5.3659 in" at 7,104 left font ",11"
set arrow 3 from 12,0 to 12,start_percent nohead dt 2 lc rgb example_colour
set arrow 4 from 100,0 to 100,end_percent nohead dt 2 lc rgb example_colour
set label 4 sprintf("12 in: %.2f %%", start_percent) at 15,start_percent+2 left tc rgb example_colour font ",11"
set label 5 sprintf("100 in: %.2f %%", end_percent) at 100,end_percent+10 right tc rgb example_colour font ",11"
plot datafile index 1 using 1:2 with lines lw 2 lc rgb curve_colour, \
     datafile index 0 using 1:2 with points pt 7 ps 0.6 lc rgb curve_colour, \
     datafile index 2 using 1:2 with points pt 6 ps 1.6 lw 2 lc rgb example_colour

unset multiplot
