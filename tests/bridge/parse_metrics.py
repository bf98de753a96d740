#!/usr/bin/env python3
"""Reads a Prometheus text exposition from standard input with prometheus_client's own
parser, and prints what it read as JSON: a list of families, each with its name, type, help
and samples. A text the parser cannot read makes it fail."""
import json
import sys

from prometheus_client.parser import text_string_to_metric_families

families = [{"name": f.name, "type": f.type, "help": f.documentation,
             "samples": [{"name": s.name, "labels": s.labels, "value": s.value}
                         for s in f.samples]}
            for f in text_string_to_metric_families(sys.stdin.read())]
json.dump(families, sys.stdout)
