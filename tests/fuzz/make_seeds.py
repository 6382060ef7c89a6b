#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus into corpus/. The first byte of each seed
chooses the threshold (value % 11) and the locale (top bit set: GBK)."""
import os

here = os.path.dirname(os.path.abspath(__file__))
out = os.path.join(here, "corpus")
os.makedirs(out, exist_ok=True)

record = "%0 Journal Article\r\n%A Zhang, S.\r\n%T Deep learning\r\n%U http://x.org\r\nhttp://y.org\r\n\r\n"
chinese = "%0 Thesis\r\n%T 数据挖掘\r\n%T 数据挖掘方法\r\n%t Title\r\n%TVersion 2.0 notes\r\n\r\n"
seeds = {
    "authors-doi-attached": b"\x02" + ("%0 A\r\n%A Zhang, S.;Li\r\n%R doi:10.1002/PAM.21831\r\n%T Deep learning\r\n"
                                     "%> /lib/./Deep learning.pdf\r\n\r\n%0 B\r\n%A Li；Wu\r\n%T Title\r\n"
                                     "%T Tit\r\n%0 C\r\n%R 10.1002/pam.21831\r\n%T x\r\n").encode("utf-8"),
    "utf8-plain": b"\x02" + (record + chinese).encode("utf-8"),
    "utf8-bom": b"\x02" + b"\xef\xbb\xbf" + (record + chinese).encode("utf-8"),
    "utf16le-bom": b"\x03" + b"\xff\xfe" + (record + chinese).encode("utf-16-le"),
    "utf16be-bom": b"\x04" + b"\xfe\xff" + (record + chinese).encode("utf-16-be"),
    "utf32le-bom": b"\x05" + b"\xff\xfe\x00\x00" + (record + chinese).encode("utf-32-le"),
    "utf32be-bom": b"\x06" + b"\x00\x00\xfe\xff" + (record + chinese).encode("utf-32-be"),
    "utf16le-no-bom": b"\x02" + (record).encode("utf-16-le"),
    "gbk-plain": b"\x82" + (record + chinese).encode("gbk"),
    "gbk-invalid": b"\x82" + b"%0 A\r\n%T \x81 \xd6\xd0\r\n%T \xd6\r\n%T \xff\xfe\r\n",
    "utf8-invalid": b"\x02" + b"%0 A\n%T a\xc3(\n%T \xed\xa0\x80\n%T \xf4\x90\x80\x80\n",
    "utf8-bom-invalid": b"\x01" + b"\xef\xbb\xbf%0 A\n%T \xe6\x95\n",
    "cr-cr-lf": b"\x02" + b"%0 A\r\r\n%T Deep learning\r\r\n\r\r\n%0 B\r",
    "lone-cr": b"\x02" + b"%0 A\r%T Deep learning\r\r%0 B\r",
    "lf-only": b"\x0a" + b"%0 A\n%T a\n%T ab\n%T \n%T\n\n\n\n%0",
    "nul-bytes": b"\x02" + b"%0 A\x00\n%T Deep\x00learning\n%T \x00\n\x00\x00\n",
    "utf16-lone-surrogates": b"\x02" + b"\xff\xfe" + "%0 A\r\n%T ".encode("utf-16-le") + b"\x00\xd8" + "x\r\n%T ".encode("utf-16-le") + b"\x00\xdc\r\x00\n\x00",
    "utf16-odd-length": b"\x02" + b"\xff\xfe" + "%0 A\r\n%T a".encode("utf-16-le") + b"\x41",
    "truncated-bom-1": b"\x02\xef",
    "truncated-bom-2": b"\x02\xef\xbb",
    "truncated-bom-3": b"\x02\xff",
    "truncated-bom-4": b"\x02\xff\xfe\x00",
    "truncated-bom-5": b"\x02\x00\x00\xfe",
    "empty-after-threshold": b"\x07",
    "huge-title-line": b"\x0a" + b"%0 A\n%T " + b"Deep learning " * 20000 + b"\n",
    "huge-line-outside": b"\x02" + b"x" * 300000 + b"\n%0 A\n%T a\n",
    "many-empty-lines": b"\x02" + b"\n" * 3000 + b"%0 A\n%T a.pdf\n",
    "outside-records": b"\x02" + b"%T Title\n%U x\n\n%T Title\n%0\n%T Title\n%T  Title  \n",
    "near-miss-chain": b"\x0a" + b"%0 A\n%T Deep learnin\n%T Deep  learning\n%T Title\n%T Titl\n%T itle\n%T \xe6\x95\xb0\xe6\x8d\xae\xe6\x8c\x96\n",
    "gbk-near": b"\x82" + "%0 A\n%T 数据挖\n%T 数\n%T ab数 c\n%T ab数c\n".encode("gbk"),
}
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
print(len(seeds), "seeds")
