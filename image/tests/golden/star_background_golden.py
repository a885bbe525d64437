#!/usr/bin/env python3
"""Reference values for the star-background golden test (StarMeasurementTest.cpp).

An independent second implementation, in plain Python, of what the test feeds
the measurement: the synthetic star renderer (SplitMix64 noise with Box-Muller,
Gaussian star), the per-pixel values and distances of the 64 x 64 box, the
iterative quicksort with its explicit stack, and the background taken from the
outermost fifth of the sorted samples. 32-bit floats are emulated with struct.

The box holds a group of eight equal distances (sqrt(1044)) across the cut at
the 80% position, so the order the sort leaves among equal keys decides which
values enter the background. The script also shows that a stable sort gives a
different background, which is what makes the vector a useful pin.

Run: python3 star_background_golden.py   (prints the constants the test uses)
"""
import math
import struct

MASK = (1 << 64) - 1
FOUR_LN2 = 2.772588722239781


def f32(x):
    return struct.unpack("f", struct.pack("f", x))[0]


class Noise:
    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state + 0x9E3779B97F4A7C15) & MASK
        z = self.state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK
        return z ^ (z >> 31)

    def uniform(self):
        return float((self.next() >> 11) + 1) * (1.0 / 9007199254740992.0)

    def gaussian(self):
        u1 = self.uniform()
        u2 = self.uniform()
        return math.sqrt(-2.0 * math.log(u1)) * math.cos(2.0 * math.pi * u2)


def render(w, h, star, background, sigma, seed):
    """Grey picture, rows top-down, as the renderer makes it (B = G = R)."""
    sx, sy, fwhm, peak = star
    scale = FOUR_LN2 / (fwhm * fwhm)
    reach = 4.0 * fwhm
    x0, x1 = max(0, math.floor(sx - reach)), min(w - 1, math.ceil(sx + reach))
    y0, y1 = max(0, math.floor(sy - reach)), min(h - 1, math.ceil(sy + reach))
    light = [[0.0] * w for _ in range(h)]
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            dx, dy = x - sx, y - sy
            light[y][x] += peak * math.exp(-scale * (dx * dx + dy * dy)) * 1.0
    noise = Noise(seed)
    img = [[0] * w for _ in range(h)]
    for y in range(h):
        for x in range(w):
            n = sigma * noise.gaussian()
            v = round(background + light[y][x] + n)  # round() is half to even
            img[y][x] = min(255, max(0, v))
    return img


def sort_parallel(keys, comp, lo, hi):
    stack = [None] * 33
    sp = 1
    stack[1] = (lo, hi)
    while True:
        while lo < hi:
            pivot = keys[hi]
            i, j = lo - 1, hi
            while True:
                i += 1
                while keys[i] < pivot:
                    i += 1
                j -= 1
                while keys[j] > pivot and j != lo:
                    j -= 1
                keys[i], keys[j] = keys[j], keys[i]
                comp[i], comp[j] = comp[j], comp[i]
                if j <= i:
                    break
            tk, tc = keys[j], comp[j]
            keys[j], comp[j] = keys[i], comp[i]
            keys[i], comp[i] = keys[hi], comp[hi]
            keys[hi], comp[hi] = tk, tc
            if i - lo > hi - i:
                sp += 1
                stack[sp] = (lo, i - 1)
                lo = i + 1
            else:
                sp += 1
                stack[sp] = (i + 1, hi)
                hi = i - 1
            assert sp <= 32
        lo, hi = stack[sp]
        sp -= 1
        if sp == 0:
            return


def samples(img, aoi_x, aoi_y, h):
    """Per-pixel values q and distances of the unclipped 64 x 64 box, input order."""
    top = h - 1
    fy, fx = math.floor(aoi_y), math.floor(aoi_x)
    r_top, r_bot = top - (fy - 32), top - (fy + 32)
    p_first, p_last = fx - 32, fx + 32 - 1
    values, dists = [], []
    for r in range(r_bot, r_top):
        i = r - r_bot
        for p in range(p_first, p_last + 1):
            j = p - p_first
            g = img[top - r][p]
            value = f32(f32(float(g + g + g)) / 3.0)
            q = 0.0 if value < 0 else 255.0 if value > 255 else float(round(value))
            values.append(f32(q))
            dists.append(f32(math.sqrt((32 - i) ** 2 + (32 - j) ** 2)))
    return values, dists


def background(values):
    m = len(values) - 1
    k0 = math.floor(0.8 * m)
    return f32(sum(values[k0:m + 1]) / (m - k0 + 1))


def main():
    W = H = 100
    STAR = (50.3, 49.6, 6.0, 150.0)
    BG, SIGMA = 30.0, 8.0
    AOI = (50.05, 50.95)
    for seed in range(1, 200):
        img = render(W, H, STAR, BG, SIGMA, seed)
        values, dists = samples(img, AOI[0], AOI[1], H)
        k, c = dists[:], values[:]
        sort_parallel(k, c, 0, len(k) - 1)
        assert all(k[n] <= k[n + 1] for n in range(len(k) - 1))
        ours = background(c)
        pairs = sorted(zip(dists, values), key=lambda t: t[0])  # stable
        stable = background([v for _, v in pairs])
        if ours != stable:
            break
    running = c[:]
    for n in range(1, len(running)):
        running[n] = f32(running[n] + running[n - 1])
    print(f"seed {seed}")
    print(f"StarBackground {ours!r} (float bits 0x{struct.unpack('I', struct.pack('f', ours))[0]:08x})")
    print(f"stable sort would give {stable!r}")
    print(f"tie group values (sorted positions 3271..3278): {[int(v) for v in c[3271:3279]]}")
    print(f"tie group keys: {k[3271:3279]}")
    for n in (0, 1, 1000, 3276, 4095):
        print(f"RadialValues[{n}] {running[n]!r}  RadialDistances[{n}] {k[n]!r}")


if __name__ == "__main__":
    main()
