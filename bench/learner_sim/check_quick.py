#!/usr/bin/env python3
"""Runs learner_sim --quick and checks only that it runs and that its figures are
probabilities: every recall in [0, 1], and one summary line per model at the end."""
import re
import subprocess
import sys

out = subprocess.run([sys.argv[1], "--quick"], capture_output=True, text=True, timeout=120, check=True).stdout
lines = out.strip().splitlines()
recalls = []
for line in lines:
    if line.startswith("cell "):
        # "cell ... recall baseline=0.623 ... minutes baseline=15.2 ...": the recall part only
        recall_part = line.split(" recall ", 1)[1].split(" minutes ", 1)[0]
        recalls += [float(v) for v in re.findall(r"=([-\d.]+)", recall_part)]
    elif line.startswith(("summary ", "sensitivity=")):
        recalls += [float(v) for v in re.findall(r" (?:baseline_)?recall=([-\d.]+)", line)]
assert recalls, "no recall figures"
bad = [r for r in recalls if not 0.0 <= r <= 1.0]
assert not bad, f"recall figures outside [0, 1]: {bad[:5]}"
final = re.compile(r"^model=\S+ forgotten_vs_baseline=[-+][\d.]+% \[[-+][\d.]+,[-+][\d.]+\] "
                   r"worst_cell_pp=[-+][\d.]+ vs_leitner_pp=[-+][\d.]+ minutes_vs_baseline=[\d.]+$")
models = [line for line in lines[-5:] if final.match(line)]
assert len(models) == 5, "the last lines are not one per model:\n" + "\n".join(lines[-5:])
print(f"learner_sim --quick: {len(recalls)} recall figures in [0, 1], {len(models)} model lines")
