#!/usr/bin/env python3
"""Reads the master service's web output with real parsers, for its tests: validate_web.py KIND FILE.

  html          the page: strict UTF-8, parsed as HTML; only the page's own tags and no event handler or script
                link; prints each text it holds, a line each
  servers       /api/servers: strict UTF-8 JSON against api_schema.json; prints each host name and player name
  health        /api/health against the same schema
  metrics       /metrics with the Prometheus client's exposition parser; prints each sample as NAME{LABELS} VALUE

Exits non-zero, saying why, on anything a parser or the schema refuses.
"""
import json
import os
import sys
from html.parser import HTMLParser

PAGE_TAGS = {"html", "head", "meta", "title", "style", "body", "h1", "p", "a", "small", "table", "thead", "tbody",
             "tr", "th", "td", "span"}


class Page(HTMLParser):
    def handle_starttag(self, tag, attrs):
        if tag not in PAGE_TAGS:
            sys.exit(f"unexpected tag <{tag}>")
        for name, value in attrs:
            if name.startswith("on") or (value or "").strip().lower().startswith("javascript:"):
                sys.exit(f"script in <{tag} {name}>")

    def handle_data(self, data):
        if data.strip():
            print(data.strip())


def main():
    kind, path = sys.argv[1], sys.argv[2]
    with open(path, "rb") as file:
        text = file.read().decode("utf-8")  # strict: bytes that are no UTF-8 fail here
    if kind == "html":
        Page(convert_charrefs=True).feed(text)
    elif kind in ("servers", "health"):
        import jsonschema
        with open(os.path.join(os.path.dirname(__file__), "api_schema.json"), encoding="utf-8") as file:
            schema = json.load(file)
        answer = json.loads(text)
        jsonschema.validate(answer, {**schema, "$ref": f"#/$defs/{kind}"})
        for server in answer["servers"] if kind == "servers" else []:
            print(server["hostname"])
            for player in server["players"]:
                print(player["name"])
    elif kind == "metrics":
        from prometheus_client.parser import text_string_to_metric_families
        for family in text_string_to_metric_families(text):
            for sample in family.samples:
                labels = ",".join(f'{k}="{v}"' for k, v in sorted(sample.labels.items()))
                print(f"{sample.name}{{{labels}}} {sample.value:g}" if labels else f"{sample.name} {sample.value:g}")
    else:
        sys.exit(f"unknown kind {kind}")


if __name__ == "__main__":
    main()
