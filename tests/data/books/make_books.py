#!/usr/bin/env python3
"""Writes the book set the book-text tests read: one short novel opening in
each encoding a book may come in, with and without damage, and the odd line
ends and bad inputs. Run it from this folder; the files are committed."""

S = ("第一章 风起\r\n　　天色已晚，他说：“我们明天再走吧。”她点了点头，没有回答。\r\n"
     "　　第二天早上，大家都起来了，只有他还在房间里睡觉。\r\n")
T = ("第一章 風起\r\n　　天色已晚，他說：“我們明天再走吧。”她點了點頭，沒有回答。\r\n"
     "　　第二天早上，大家都起來了，只有他還在房間裡睡覺。\r\n")
CJK = "天色已晚他说我们明天再走吧她点了点头没有回答第二天早上大家都起来了只有他还在房间里睡觉"


def damage(text, encoding, *inserts):
    """The text encoded, with junk bytes put in before each given mark."""
    data = text.encode(encoding)
    spots = [(len(text[:text.index(mark)].encode(encoding)), junk) for mark, junk in inserts]
    for at, junk in sorted(spots, reverse=True):
        data = data[:at] + junk + data[at:]
    return data


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)


gbk = S.encode("gbk")
write("gbk.txt", gbk)
# A stray 0xFF, and a lead byte right before a line end.
write("gbk_damaged.txt", damage(S, "gbk", ("天色", b"\xff"), ("\r\n　　第二", b"\xb0")))
write("gb18030.txt", (S + "𠀀\r\n").encode("gb18030"))
big5 = T.encode("big5")
write("big5.txt", big5)
write("big5_damaged.txt", damage(T, "big5", ("天色", b"\xff")))
utf8 = S.encode("utf-8")
write("utf8.txt", utf8)
write("utf8_bom.txt", b"\xef\xbb\xbf" + utf8)
# A stray 0xFF and the first two bytes of a three-byte character.
write("utf8_damaged.txt", damage(S, "utf-8", ("天色", b"\xff"), ("\r\n　　第二", b"\xe9\xa3")))
write("utf16le.txt", b"\xff\xfe" + S.encode("utf-16-le"))
write("utf16le_nobom.txt", S.encode("utf-16-le"))
write("utf16be_nobom.txt", S.encode("utf-16-be"))
write("utf16be_nobom_cjk.txt", CJK.encode("utf-16-be"))
write("utf16le_odd.txt", b"\xff\xfe" + S.encode("utf-16-le") + b"\x41")
write("utf32le.txt", b"\xff\xfe\x00\x00" + S.encode("utf-32-le"))
write("cr_only.txt", S.replace("\r\n", "\r").encode("gbk"))
write("mixed_breaks.txt", "一\r\n二\r三\n四\r".encode("gbk"))
write("empty.txt", b"")
write("nul_only.txt", b"\x00" * 64)
write("binary.bin", bytes(range(256)) * 4)
