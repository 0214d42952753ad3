#!/usr/bin/env python3
"""Writes examples/flow.dat: a small hourly model output for trying skarvel.

Three header lines, then January to March 2001 in hourly steps (hours 1 to 24) with four value
columns: discharge [m3/s], precipitation [mm/h], air temperature [degC], soil moisture [vol%].
A gauge outage (-9999) of one and a half days in the discharge column and scattered missing
temperature values give the gaps that skarvel skips. Deterministic: the output never changes.
"""
import math
import random
from pathlib import Path

random.seed(20010101)
DAYS = [31, 28, 31]
lines = [
    "Varno time series output, catchment Aabach, gauge Hollfeld\n",
    "run: reference 2001, time step 1 h, missing values -9999\n",
    "year month day hour discharge[m3/s] precipitation[mm/h] temperature[degC] soil_moisture[vol%]\n",
]
discharge = 2.4
soil = 31.0
step = 0
for month, days in enumerate(DAYS, start=1):
    for day in range(1, days + 1):
        storm = random.random() < 0.18
        for hour in range(1, 25):
            step += 1
            rain = round(random.expovariate(1.2), 1) if storm and random.random() < 0.6 else 0.0
            discharge = max(0.35, discharge * 0.995 + 0.08 * rain)
            soil = min(45.0, max(18.0, soil - 0.01 + 0.15 * rain))
            seasonal = -1.5 + 6.0 * (step / (24 * 90))
            temp = seasonal + 4.0 * math.sin((hour - 9) / 24 * 2 * math.pi) + random.gauss(0, 0.6)
            q = "-9999" if (month == 2 and (day == 11 or (day == 12 and hour <= 12))) else f"{discharge:.3f}"
            t = "-9999" if random.random() < 0.01 else f"{temp:.1f}"
            lines.append(f"2001 {month} {day} {hour} {q} {rain:g} {t} {soil:.2f}\n")

Path(__file__).with_name("flow.dat").write_text("".join(lines))
