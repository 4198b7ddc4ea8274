#pragma once

// The instant of the smallest value of f within [a, b], where f has one minimum (golden section),
// to within `tolerance` (days).
template <typename F> double goldenSectionMinimum(F&& f, double a, double b, double tolerance) {
    const double r = 0.6180339887498949;
    double x1 = b - r * (b - a);
    double x2 = a + r * (b - a);
    double f1 = f(x1);
    double f2 = f(x2);
    while (b - a > tolerance) {
        if (f1 <= f2) {
            b = x2;
            x2 = x1;
            f2 = f1;
            x1 = b - r * (b - a);
            f1 = f(x1);
        } else {
            a = x1;
            x1 = x2;
            f1 = f2;
            x2 = a + r * (b - a);
            f2 = f(x2);
        }
    }
    return (a + b) / 2;
}
