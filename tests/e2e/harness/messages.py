"""The program's texts, as a case expects them."""

USAGE = {
    False: "\nИспользование: \n$ tablemark [[-d] <\"FullPath\">] [[-c] <CodePage>] | -h\n\n"
           "Параметры по умолчанию: \n   <\"FullPath\"> - текущий каталог\n"
           "   <CodePage>   - 866\n\nПример вызова: \n"
           "$ tablemark -d \"/home/user/data\" -c 1251",
    True: "\nИспользование: \n>Tablemark.exe [[{/|-}d] <\"FullPath\">] [[{/|-}c] <CodePage>] "
          "| {/|-}h\n\nПараметры по умолчанию: \n   <\"FullPath\"> - текущий каталог\n"
          "   <CodePage>   - 866\n\nПример вызова: \n"
          ">Tablemark.exe /d \"C:\\Documents and Settings\\All Users\\Data\" /c 1251",
}
LONG_HELP = ("\n\nКодовая страница текста таблиц (ничего не изменяется): \n"
             "$ tablemark --detect [[-d] <\"FullPath\">]\n"
             "   Строка на таблицу: имя, кодовая страница по метке, кодовая страница текста\n"
             "   (- только ASCII или нет текста, ? нет уверенности)\n\n"
             "Исправление меток по тексту таблиц (вывод - запись для отмены): \n"
             "$ tablemark --fix [[-d] <\"FullPath\">]\n"
             "Восстановление меток по записи (- стандартный ввод): \n"
             "$ tablemark --restore <FILE> [[-d] <\"FullPath\">]")
BAD_CODE_PAGE = "Ошибка в значениее параметра <CodePage>"
UNEXPECTED = "Неожиданная ошибка"


def not_a_table(name):
    return f"Файл {name} не является Visual Foxpro таблицей"


def missing_memo(table_name, memo_name):
    return f"Для файла {table_name} не найден мемо-файл {memo_name}"


def file_failure(target, name, label, native_errno=None, windows_code=None):
    if native_errno is None and windows_code is None:
        return f"Для файла {name} в функции {label} возникла неожиданная ошибка"
    code, text = target.error(native_errno, windows_code)
    return f"Для файла {name}, в функции {label} возникла ошибка {code}: {text}"


def run_failure(target, label, native_errno, windows_code=None):
    code, text = target.error(native_errno, windows_code)
    return f"В функции {label} возникла ошибка {code}: {text}"
