// Power and cosine for table building, the same to the last bit in
// every build. The C runtimes differ: mingw-w64's pow is not correctly
// rounded (it differs from glibc's in the last bit for about a fifth of
// the response curve's inputs, enough to move truncated entries), and
// x87 transcendental instructions may differ between processors. These
// use only IEEE double additions, multiplications and divisions (SSE2 on
// every target, no fused operations) carried in double-double precision,
// and so return the correctly rounded result, as glibc's functions do.
#pragma once

// base >= 0, exponent finite.
double ComputePow(double base, double exponent);
// |angle| <= 4.
double ComputeCos(double angle);
