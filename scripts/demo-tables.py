#!/usr/bin/env python3
"""Writes the demonstration tables into a directory: tables that came from
two systems, as the README's example has them.

  clients.dbf               Russian text in code page 866, marked 866: right
  orders.dbf, orders.fpt    Russian text in 1251 (a memo field too), mark 0
  units.dbf                 ASCII text only, mark 0: any mark reads it alike

Run: python3 scripts/demo-tables.py DIR
"""

import os
import struct
import sys

CLIENTS = [
    ("Иванов Пётр Сергеевич", "Москва, улица Тверская, дом 12, квартира 5"),
    ("Смирнова Анна Викторовна", "Санкт-Петербург, Невский проспект, дом 28"),
    ("Кузнецов Дмитрий Олегович", "Казань, улица Баумана, дом 7"),
    ("Попова Елена Андреевна", "Новосибирск, Красный проспект, дом 44"),
    ("Соколов Алексей Юрьевич", "Екатеринбург, улица Малышева, дом 3"),
    ("Лебедева Ольга Николаевна", "Нижний Новгород, Большая Покровская, дом 19"),
    ("Козлов Сергей Михайлович", "Самара, улица Куйбышева, дом 91"),
    ("Новикова Татьяна Игоревна", "Ростов-на-Дону, Большая Садовая, дом 55"),
]
ORDERS = [
    ("Поставка бумаги для офиса", "Доставить до конца месяца, оплата по счёту."),
    ("Ремонт печатающего устройства", "Заменить картридж и проверить подачу листов."),
    ("Канцелярские товары", "Ручки, карандаши, тетради и скрепки для отдела кадров."),
    ("Мебель для переговорной", "Стол на восемь мест, стулья с мягкой обивкой."),
    ("Обслуживание кондиционеров", "Ежегодная чистка фильтров во всех кабинетах."),
    ("Подписка на журналы", "Бухгалтерский учёт, налоги и право на следующий год."),
    ("Вода и посуда для кухни", "Шесть бутылей в неделю, одноразовые стаканы."),
    ("Охрана здания", "Круглосуточный пост на входе и обход этажей ночью."),
]
UNITS = [("kg", "kilogram"), ("m", "metre"), ("pcs", "piece"), ("l", "litre")]


def table(fields, rows, mark, memo_flag=False):
    """A Visual FoxPro table: fields are (name, type, length), rows are
    lists of bytes values (a memo field's value is its block number)."""
    record_length = 1 + sum(length for _, _, length in fields)
    header_length = 32 + 32 * len(fields) + 1 + 263
    header = bytearray(32)
    header[0] = 0x30
    struct.pack_into("<IHH", header, 4, len(rows), header_length, record_length)
    header[28] = 0x02 if memo_flag else 0
    header[29] = mark
    descriptors, offset = b"", 1
    for name, kind, length in fields:
        d = bytearray(32)
        d[:len(name)] = name.encode()
        d[11] = ord(kind)
        struct.pack_into("<I", d, 12, offset)
        d[16] = length
        descriptors += d
        offset += length
    records = b""
    for row in rows:
        record = b" "
        for (_, kind, length), value in zip(fields, row):
            record += value.ljust(length, b"\0" if kind == "M" else b" ")[:length]
        records += record
    return bytes(header) + descriptors + b"\r" + bytes(263) + records + b"\x1a"


def memo_file(texts):
    data = bytearray(512)
    struct.pack_into(">H", data, 6, 64)
    blocks = []
    for text in texts:
        blocks.append(len(data) // 64)
        data += struct.pack(">II", 1, len(text)) + text
        data += bytes(-len(data) % 64)
    struct.pack_into(">I", data, 0, len(data) // 64)
    return bytes(data), blocks


def main():
    directory = sys.argv[1]
    os.makedirs(directory, exist_ok=True)
    files = {}
    files["clients.dbf"] = table(
        [("NAME", "C", 40), ("ADDRESS", "C", 60)],
        [[n.encode("cp866"), a.encode("cp866")] for n, a in CLIENTS], mark=0x65)
    memo, blocks = memo_file([note.encode("cp1251") for _, note in ORDERS])
    files["orders.fpt"] = memo
    files["orders.dbf"] = table(
        [("SUBJECT", "C", 40), ("NOTE", "M", 4)],
        [[s.encode("cp1251"), struct.pack("<I", b)] for (s, _), b in zip(ORDERS, blocks)],
        mark=0x00, memo_flag=True)
    files["units.dbf"] = table([("CODE", "C", 4), ("NAME", "C", 20)],
                               [[c.encode(), n.encode()] for c, n in UNITS], mark=0x00)
    for name, data in files.items():
        with open(os.path.join(directory, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
