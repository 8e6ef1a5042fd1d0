#!/usr/bin/env python3
"""Thumbnails of a batch of 24-megapixel photos: the add-photos dialog against vipsthumbnail on all
cores, process against process, interleaved, in one run.

    bench/thumbs.py [build-dir] [--runs N] [--count N]

build-dir holds bench/thumb_tool (configure with -DPO_BENCH=ON). The photos are the 6000 x 4000
JPEGs bench/setup makes in build-dir/photos (baseline 4:2:0, 4:4:4, progressive, the bench's own);
when they are missing, four are made with vips. The batch is --count names (default 200) linked to
them in turn, so both sides read the same files from the page cache. vipsthumbnail runs over the
batch with `xargs -P <cores>` and writes each thumbnail as a JPEG; our dialog keeps its thumbnails
in memory, as the program does. Each of our runs must report every photo as added.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
args = sys.argv[1:]


def option(name, default):
    if name in args:
        i = args.index(name)
        value = int(args[i + 1])
        del args[i:i + 2]
        return value
    return default


runs = option('--runs', 3)
count = option('--count', 200)
build = os.path.abspath(args[0]) if args else os.path.join(root, 'build-bench')
tool = os.path.join(build, 'bench', 'thumb_tool')
cores = os.cpu_count() or 1
SOURCES = ['baseline-420.jpg', 'full-444.jpg', 'progressive.jpg', 'own.jpg']


def sources(work):
    found = [os.path.join(build, 'photos', s) for s in SOURCES]
    if all(os.path.exists(p) for p in found):
        return found
    made = []
    for i in range(4):
        path = os.path.join(work, 'src-%d.jpg' % i)
        # Noise with some structure: a worst case for the entropy decoder, as a detailed photo is.
        subprocess.run(['vips', 'gaussnoise', path + '[Q=92]', '6000', '4000', '--sigma', str(20 + 10 * i),
                        '--mean', '128'], check=True)
        made.append(path)
    return made


def timed(cmd, **kw):
    start = time.monotonic()
    proc = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, **kw)
    return time.monotonic() - start, proc


def main():
    if not os.access(tool, os.X_OK):
        sys.exit('thumb_tool not found in %s (configure with -DPO_BENCH=ON and build it)' % build)
    with tempfile.TemporaryDirectory() as work:
        photos = sources(work)
        batch = os.path.join(work, 'batch')
        os.mkdir(batch)
        names = []
        for i in range(count):
            name = os.path.join(batch, 'photo-%03d.jpg' % i)
            os.link(photos[i % len(photos)], name)
            names.append(name)
        listing = os.path.join(work, 'list.txt')
        with open(listing, 'w') as f:
            f.write('\n'.join(names) + '\n')
        out = os.path.join(work, 'out')
        os.mkdir(out)
        env = dict(os.environ, QT_QPA_PLATFORM='offscreen')
        vips_cmd = ('xargs -a %s -d "\\n" -P %d -n 4 vipsthumbnail -s 200 -o %s/%%s.jpg'
                    % (listing, cores, out))
        for p in photos:  # warm the page cache
            with open(p, 'rb') as f:
                while f.read(1 << 20):
                    pass
        times = {'ours': [], 'vips': []}
        for _ in range(runs):  # interleaved: ours, vips, ours, vips, ...
            seconds, proc = timed([tool, listing], env=env)
            fields = proc.stdout.decode().split()
            if proc.returncode != 0 or len(fields) != 3 or int(fields[1]) != count:
                sys.exit('thumb_tool failed: %r' % proc.stdout)
            times['ours'].append(seconds)
            for old in os.listdir(out):
                os.remove(os.path.join(out, old))
            seconds, proc = timed(['sh', '-c', vips_cmd])
            made = len(os.listdir(out))
            if proc.returncode != 0 or made != count:
                sys.exit('vipsthumbnail made %d of %d thumbnails' % (made, count))
            times['vips'].append(seconds)
        ours, vips = statistics.median(times['ours']), statistics.median(times['vips'])
        print('%d photos of 6000 x 4000, %d cores, median of %d runs' % (count, cores, runs))
        print('%-32s %9s %9s' % ('', 'seconds', 'ms/photo'))
        print('%-32s %9.2f %9.1f' % ('add-photos dialog (ours)', ours, ours * 1000 / count))
        print('%-32s %9.2f %9.1f' % ('vipsthumbnail, xargs -P %d' % cores, vips, vips * 1000 / count))
        print('%-32s %9.2f' % ('ratio ours / vips', ours / vips))
        print('all runs: ours %s; vips %s' % (' '.join('%.2f' % t for t in times['ours']),
                                             ' '.join('%.2f' % t for t in times['vips'])))


main()
