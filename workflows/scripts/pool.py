"""Pools the per-specimen tables of the workflow into one table, one row per
specimen: the organ measured from its outlines (plexan-cli measure) and from
its isosurface, and the number of nuclei marked.

    pool.py --plexan-cli PATH --model organ [--centres nuclei] -o pooled.tsv \
        NAME MEASURE.tsv ISOSURFACE.tsv STACK.sdf [NAME ...]

The table is written beside its target and renamed onto it when complete.
"""

import argparse
import csv
import os
import subprocess
import tempfile


def rows(text):
    return list(csv.DictReader(text.splitlines(), delimiter="\t"))


def column(row, label):
    """The value of the column whose header, without its unit, is label."""
    for key, value in row.items():
        if key.split(" [")[0] == label:
            return value
    raise KeyError(label)


def write_atomically(path, text):
    directory = os.path.dirname(path) or "."
    fd, aside = tempfile.mkstemp(dir=directory, prefix="." + os.path.basename(path) + ".")
    try:
        with os.fdopen(fd, "w") as stream:
            stream.write(text)
            stream.flush()
            os.fsync(stream.fileno())
        os.chmod(aside, 0o644)
        os.replace(aside, path)
    except BaseException:
        os.unlink(aside)
        raise


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--plexan-cli", default="plexan-cli")
    parser.add_argument("--model", required=True)
    parser.add_argument("--centres")
    parser.add_argument("-o", dest="output", required=True)
    parser.add_argument("specimens", nargs="+")
    arguments = parser.parse_args()
    if len(arguments.specimens) % 4:
        parser.error("give NAME MEASURE.tsv ISOSURFACE.tsv STACK.sdf for every specimen")
    lines = ["specimen\tcontours\torgan area\torgan volume\tsurface area\tsurface volume\tnuclei"]
    for i in range(0, len(arguments.specimens), 4):
        name, measure, surface, stack = arguments.specimens[i:i + 4]
        with open(measure) as stream:
            found = [r for r in rows(stream.read()) if r["Model"] == arguments.model]
        if not found:
            raise SystemExit("%s: no model %s" % (measure, arguments.model))
        organ = found[0]
        with open(surface) as stream:
            mesh = rows(stream.read())[0]
        nuclei = "NA"
        if arguments.centres:
            points = subprocess.run([arguments.plexan_cli, "measure", stack, "--geometry", "polypoint"],
                                    stdout=subprocess.PIPE, check=True).stdout.decode()
            marked = [r for r in rows(points) if r["Model"] == arguments.centres]
            nuclei = marked[0]["Vertices"] if marked else "0"
        lines.append("\t".join([name, column(organ, "Contours"), column(organ, "Area"), column(organ, "Volume"),
                                column(mesh, "area"), column(mesh, "volume"), nuclei]))
    write_atomically(arguments.output, "\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
