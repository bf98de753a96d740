#!/usr/bin/env python3
"""Reads a Prometheus text exposition from standard input with prometheus_client's own
parser, and prints each sample as one line, NAME{LABEL="VALUE",...} VALUE, its labels in
name order and each value as a JSON string. Fails when the parser cannot read the text, or when a family has no HELP,
is neither a gauge nor a counter, or comes twice."""
import json
import sys

from prometheus_client.parser import text_string_to_metric_families

seen = set()
for family in text_string_to_metric_families(sys.stdin.read()):
    if not family.documentation or family.type not in ("gauge", "counter") or family.name in seen:
        sys.exit(f"family {family.name}: help {family.documentation!r}, type {family.type}")
    seen.add(family.name)
    for sample in family.samples:
        labels = ",".join(f"{k}={json.dumps(v)}" for k, v in sorted(sample.labels.items()))
        print(f"{sample.name}{{{labels}}} {sample.value!r}")
