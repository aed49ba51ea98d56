#!/usr/bin/env python3
# imagematch_cv2.py SCREEN TEMPLATE RUNS: a plain full-resolution
# cv2.matchTemplate (TM_CCOEFF_NORMED) and its best place, timed RUNS times;
# prints "median_ms p99_ms x y" for bench_imagematch.
import sys
import time

import cv2

screen = cv2.imread(sys.argv[1], cv2.IMREAD_COLOR)
template = cv2.imread(sys.argv[2], cv2.IMREAD_COLOR)
runs = int(sys.argv[3])
times = []
place = None
for _ in range(runs):
    start = time.perf_counter()
    result = cv2.matchTemplate(screen, template, cv2.TM_CCOEFF_NORMED)
    _, _, _, place = cv2.minMaxLoc(result)
    times.append((time.perf_counter() - start) * 1000)
times.sort()
print(f"{times[len(times) // 2]:.2f} {times[min(len(times) - 1, int(0.99 * len(times)))]:.2f} "
      f"{place[0]} {place[1]}")
