#!/usr/bin/env python3
"""Writes the sample novel index shipped in list/ (libdata_1.dat, libdata_2.dat).

The reader searches these files by title. The format, all little-endian:

    int32 N                 number of string pairs that follow, header included
    string "site_name"      header key
    string <site>           site name for the records that follow
    N - 1 records:
        string <url>        the record's address, or "site_name" ...
        string <title>      ... its title, or then the new site name

    string = int32 length L (0 <= L <= 1023), then L bytes of GBK text,
             no terminator.

A record whose url is "site_name" makes its title the site of the records
after it. The titles below are public-domain works; the addresses are their
pages on public libraries of free texts.

Usage: scripts/make_book_index.py [output folder]   (default: list/ of the
repository)
"""

import os
import struct
import sys

MAX_STRING = 1023
SITE_KEY = "site_name"

WIKISOURCE = "https://zh.wikisource.org/wiki/"
GUTENBERG = "https://www.gutenberg.org/ebooks/"

CLASSICS = [
    "红楼梦", "西游记", "水浒传", "三国演义", "聊斋志异", "儒林外史", "镜花缘",
    "封神演义", "老残游记", "官场现形记", "东周列国志", "说岳全传", "隋唐演义",
    "三侠五义", "济公全传", "儿女英雄传", "海上花列传", "阅微草堂笔记", "世说新语",
    "搜神记", "山海经", "论语", "孟子", "道德经", "庄子", "史记", "孙子兵法",
    "唐诗三百首", "宋词三百首", "西游补",
]

LU_XUN = ["呐喊", "彷徨", "阿Q正传", "狂人日记", "朝花夕拾", "故事新编", "野草"]

ENGLISH = [
    ("Pride and Prejudice", 1342),
    ("Alice's Adventures in Wonderland", 11),
    ("Moby Dick; Or, The Whale", 2701),
    ("Frankenstein", 84),
    ("A Tale of Two Cities", 98),
    ("The Adventures of Sherlock Holmes", 1661),
    ("Dracula", 345),
    ("Great Expectations", 1400),
    ("The Time Machine", 35),
    ("Treasure Island", 120),
    ("War and Peace", 2600),
    ("Jane Eyre", 1260),
]


def encode_string(text):
    data = text.encode("gbk")
    if len(data) > MAX_STRING:
        raise ValueError("string longer than %d bytes: %r" % (MAX_STRING, text))
    return struct.pack("<i", len(data)) + data


def index_file(site, records):
    """records: (url, title) pairs; ("site_name", name) switches the site."""
    out = [struct.pack("<i", len(records) + 1), encode_string(SITE_KEY), encode_string(site)]
    for url, title in records:
        out.append(encode_string(url))
        out.append(encode_string(title))
    return b"".join(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "list")
    os.makedirs(folder, exist_ok=True)

    chinese = [(WIKISOURCE + t, t) for t in CLASSICS]
    chinese.append((SITE_KEY, "维基文库·鲁迅作品"))
    chinese += [(WIKISOURCE + t, t) for t in LU_XUN]
    english = [(GUTENBERG + str(number), title) for title, number in ENGLISH]

    files = {
        "libdata_1.dat": index_file("维基文库", chinese),
        "libdata_2.dat": index_file("古登堡计划", english),
    }
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
