/*
 * The batch benchmark's yardstick: the same dialogue written the textbook way
 * in C, with scanf and printf and fflush(stdout) before every read. It prints
 * exactly what velmora prints for well-formed input and no terminal.
 */
#include <stdio.h>
#include <stdlib.h>

static const double node_distance[] = {
    0,      5.3659, 8.2927, 10.854, 12.805, 15.732, 18.78,  21.341, 23.902, 26.463, 29.024,
    31.829, 33.902, 37.073, 40.976, 44.268, 47.805, 50.732, 53.415, 56.951, 60.488, 63.293,
    66.829, 70.976, 74.756, 78.537, 82.317, 85.366, 88.415, 91.341, 94.39,  96.951, 99.756,
    102.68, 105.49, 107.32, 150,    200,    300,    400,    500};
static const double node_percent[] = {
    100,    100,    88.179, 80.469, 73.714, 66.504, 59.317, 53.925, 49.21,  45.079, 40.981,
    37.541, 35.319, 31.987, 28.53,  26.035, 24.124, 22.524, 21.191, 19.636, 18.404, 17.514,
    16.29,  15.21,  14.31,  13.514, 12.715, 12.239, 11.781, 11.384, 11,     10.751, 10.428,
    10.27,  10.154, 10.077, 9,      8,      6.4,    5,      4};
static const int last_node = 40;

static double percent_at(double d) {
    for (int i = 0; i < last_node; i++) {
        if (d == node_distance[i]) {
            return node_percent[i];
        }
        if (node_distance[i] < d && d < node_distance[i + 1]) {
            double t = (d - node_distance[i]) / (node_distance[i + 1] - node_distance[i]);
            return (1 - t) * node_percent[i] + t * node_percent[i + 1];
        }
    }
    return node_percent[last_node];
}

int main(void) {
    int another = 1;
    printf("\n ");
    printf("\n velmora   ver 1.2   April 3, 2007\n");
    printf("\n by velmora developers");
    printf("\n Email: velmora@example.org ");
    printf("\n ");
    printf("\n This program calculates the remaining ratio for shock   ");
    printf("\n propagating through a cylindrical shell.                \n");
    printf("\n Reference: NASA CR 116406, Pyrotechnic Shock Data, Figure 3.1 \n");
    while (another == 1) {
        double start = 0;
        double end = 0;
        for (;;) {
            printf("\n\n Enter the starting point (inch): \n");
            fflush(stdout);
            if (scanf("%lf", &start) != 1) {
                return 2;
            }
            printf("\n Enter the ending (inch): \n");
            fflush(stdout);
            if (scanf("%lf", &end) != 1) {
                return 2;
            }
            if (start >= 0 && end >= start) {
                break;
            }
            printf("\n\n Input error.  Try again. \n");
        }
        double start_fraction = percent_at(start) * 0.01;
        double end_fraction = percent_at(end) * 0.01;
        printf("\n  %6.3g  %6.3g \n", start_fraction, end_fraction);
        printf("\n\n  %6.3g remaining ratio\n", end_fraction / start_fraction);
        printf("\n  Another calculation?  ");
        printf("\n  1=yes 2=no \n");
        fflush(stdout);
        if (scanf("%d", &another) != 1) {
            break;
        }
    }
    printf("\n\n Press any key to exit \n\n");
    printf("\n");
    fflush(stdout);
    exit(1);
}
