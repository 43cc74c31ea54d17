#!/usr/bin/env python3
"""Peer of bench_inf: reads an inf file with configparser; prints the median
seconds of the given number of reads."""
import configparser
import statistics
import sys
import time


def main():
    path, runs = sys.argv[1], int(sys.argv[2])
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        parser = configparser.ConfigParser(interpolation=None, strict=False)
        with open(path, encoding="latin-1") as f:
            parser.read_file(f)
        times.append(time.perf_counter() - start)
        sections = len(parser.sections())
    print(f"{statistics.median(times):.6f} {sections}")


if __name__ == "__main__":
    main()
