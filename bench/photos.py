#!/usr/bin/env python3
"""Our thumbnail and prints against vips, process against process, on the photos bench/setup made.

    bench/photos.py [build-dir] [--runs N]

Each photo is printed at 1800 x 1200 and 4724 x 3543 (the centre in the print's shape) by
photo_tool and by `vips thumbnail` (asked for the same 4:2:0 sampling and quality 90), and
thumbnailed by both tools; the runs of the tools are interleaved, and the table gives the median
time and the median peak memory of each. Every output is checked (pixel size, and for our prints
the 300 dpi density; the sampling of both), and each print is measured against a reference made
by ImageMagick (full decode, Catrom): ours before encoding, ours as stored, vips's as stored, and
the reference itself stored with our encoder's settings (what encoding alone costs).
"""
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
args = sys.argv[1:]
runs = 5
if '--runs' in args:
    i = args.index('--runs')
    runs = int(args[i + 1])
    del args[i:i + 2]
build = os.path.abspath(args[0]) if args else os.path.join(root, 'build-bench')
tool = os.path.join(build, 'bench', 'photo_tool')
photos_dir = os.path.join(build, 'photos')
PHOTOS = ['baseline-420.jpg', 'full-444.jpg', 'progressive.jpg', 'detailed.png', 'own.jpg']
PRINTS = [(1800, 1200), (4724, 3543)]
CONVERT = '/usr/bin/convert'
COMPARE = '/usr/bin/compare'


def run(cmd):
    """Runs a process; answers (seconds, peak MB, ok)."""
    start = time.monotonic()
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    seconds = time.monotonic() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    return seconds, usage.ru_maxrss / 1024.0, proc.returncode == 0


def jpeg_facts(path):
    """Size, JFIF density and the components' sampling factors, read from the markers."""
    b = open(path, 'rb').read()
    facts = {'density': None}
    i = 2
    while i + 4 <= len(b):
        marker, length = b[i + 1], int.from_bytes(b[i + 2:i + 4], 'big')
        p = i + 4
        if marker == 0xE0 and b[p:p + 5] == b'JFIF\0':
            facts['density'] = (b[p + 7], int.from_bytes(b[p + 8:p + 10], 'big'), int.from_bytes(b[p + 10:p + 12], 'big'))
        elif marker in (0xC0, 0xC1, 0xC2):
            facts['size'] = (int.from_bytes(b[p + 3:p + 5], 'big'), int.from_bytes(b[p + 1:p + 3], 'big'))
            n = b[p + 5]
            facts['sampling'] = tuple((b[p + 7 + 3 * k] >> 4, b[p + 7 + 3 * k] & 15) for k in range(n))
        elif marker == 0xDA:
            break
        i += 2 + length
    return facts


def psnr(a, b):
    out = subprocess.run([COMPARE, '-metric', 'PSNR', a, b, 'null:'], capture_output=True, text=True)
    m = re.match(r'\s*([0-9.]+|inf)', out.stderr)
    return float(m.group(1)) if m else float('nan')


def check(path, size, ours):
    f = jpeg_facts(path)
    problems = []
    if f.get('size') != size:
        problems.append('size %s' % (f.get('size'),))
    if f.get('sampling') != ((2, 2), (1, 1), (1, 1)):
        problems.append('sampling %s' % (f.get('sampling'),))
    if ours and f['density'] != (1, 300, 300):
        problems.append('density %s' % (f['density'],))
    return problems


def centre(w, h, pw, ph):
    ar = pw / ph
    sw, sh = w, h
    if w / h > ar:
        sw = int(h * ar + 0.5)
    else:
        sh = int(w / ar + 0.5)
    return (w - sw) // 2, (h - sh) // 2, sw, sh


def main():
    if not os.path.exists(tool) or not all(os.path.exists(os.path.join(photos_dir, p)) for p in PHOTOS):
        sys.exit('run bench/setup first (it builds photo_tool and makes the photos in %s)' % photos_dir)
    out = tempfile.mkdtemp(prefix='photo-bench-')
    rows, failures = [], []
    for name in PHOTOS:
        photo = os.path.join(photos_dir, name)
        w, h = map(int, subprocess.check_output(['identify', '-format', '%w %h', photo], text=True).split())
        jobs = []
        for pw, ph in PRINTS:
            ours = os.path.join(out, 'ours-%d.jpg' % pw)
            theirs = os.path.join(out, 'vips-%d.jpg' % pw)
            jobs.append(('print %dx%d' % (pw, ph), (pw, ph),
                         [tool, 'print', photo, str(pw), str(ph), ours], ours,
                         ['vips', 'thumbnail', photo, theirs + '[Q=90,subsample-mode=on,strip]', str(pw),
                          '--height', str(ph), '--size', 'both', '--crop', 'centre'], theirs))
        ours_t, theirs_t = os.path.join(out, 'ours-t.jpg'), os.path.join(out, 'vips-t.jpg')
        tw, th = (200, int(h / (w / 200))) if w >= h else (int(w / (h / 200)), 200)
        jobs.append(('thumbnail', (tw, th), [tool, 'thumb', photo, ours_t], ours_t,
                     ['vipsthumbnail', photo, '-s', '200', '-o', theirs_t + '[Q=75,subsample-mode=on]'], theirs_t))
        for label, size, ours_cmd, ours_out, vips_cmd, vips_out in jobs:
            times = {'ours': [], 'vips': []}
            peaks = {'ours': [], 'vips': []}
            for _ in range(runs):  # interleaved: ours, vips, ours, vips, ...
                for who, cmd in (('ours', ours_cmd), ('vips', vips_cmd)):
                    s, mb, ok = run(cmd)
                    if not ok:
                        failures.append('%s %s %s failed' % (name, label, who))
                    times[who].append(s)
                    peaks[who].append(mb)
            for who, path in (('ours', ours_out), ('vips', vips_out)):
                # vips may round the thumbnail's short side the other way; its prints must match.
                want = size if label != 'thumbnail' or who == 'ours' else jpeg_facts(path).get('size')
                for p in check(path, want, who == 'ours' and label != 'thumbnail'):
                    failures.append('%s %s %s: %s' % (name, label, who, p))
            quality = ''
            if label != 'thumbnail':
                pw, ph = size
                x, y, sw, sh = centre(w, h, pw, ph)
                ref = os.path.join(out, 'ref.ppm')
                subprocess.check_call([CONVERT, photo, '-crop', '%dx%d+%d+%d' % (sw, sh, x, y), '+repage',
                                       '-filter', 'Catrom', '-resize', '%dx%d!' % (pw, ph), '-depth', '8', ref])
                raw = os.path.join(out, 'raw.ppm')
                subprocess.check_call([tool, 'print-raw', photo, str(pw), str(ph), raw])
                alike = os.path.join(out, 'ref-stored.jpg')
                subprocess.check_call(['cjpeg', '-quality', '90', '-sample', '2x2', '-dct', 'int', '-baseline',
                                       '-outfile', alike, ref])
                quality = '%5.1f %5.1f %5.1f %5.1f' % (psnr(raw, ref), psnr(ours_out, ref), psnr(vips_out, ref),
                                                      psnr(alike, ref))
            mt = {k: statistics.median(v) for k, v in times.items()}
            mp = {k: statistics.median(v) for k, v in peaks.items()}
            rows.append('%-17s %-13s %7.0f %7.0f %5.2f %7.1f %7.1f %5.2f  %s' % (
                name, label, mt['ours'] * 1000, mt['vips'] * 1000, mt['ours'] / mt['vips'],
                mp['ours'], mp['vips'], mp['ours'] / mp['vips'], quality))
    print('median of %d interleaved runs; PSNR in dB against ImageMagick (full decode, Catrom)' % runs)
    print('%-17s %-13s %7s %7s %5s %7s %7s %5s  %s' % ('photo', 'work', 'ours ms', 'vips ms', 'ratio',
                                                     'ours MB', 'vips MB', 'ratio',
                                                     'PSNR: ours raw, ours stored, vips stored, reference stored'))
    for r in rows:
        print(r)
    if failures:
        print('OUTPUT CHECKS FAILED:')
        for f in failures:
            print('  ' + f)
        sys.exit(1)
    print('every output checked: pixel size, 4:2:0 sampling, and 300 dpi on our prints')


if __name__ == '__main__':
    main()
