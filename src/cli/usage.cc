#include "cli/usage.h"

#include "report/messages.h"

namespace tablemark {

std::u16string UsageText(Dialect dialect) {
  const bool windows = dialect == Dialect::Windows;
  std::u16string text;
  text += u"\n";
  text += u"Использование: ";
  text += u"\n";
  text += windows ? u">Tablemark.exe [[{/|-}d] <\"FullPath\">] [[{/|-}c] <CodePage>] | {/|-}h"
                  : u"$ tablemark [[-d] <\"FullPath\">] [[-c] <CodePage>] | -h";
  text += u"\n\n";
  text += u"Параметры по умолчанию: ";
  text += u"\n";
  text += u"   <\"FullPath\"> - текущий каталог";
  text += u"\n";
  text += u"   <CodePage>   - 866";
  text += u"\n\n";
  text += u"Пример вызова: ";
  text += u"\n";
  text += windows ? u">Tablemark.exe /d \"C:\\Documents and Settings\\All Users\\Data\" /c 1251"
                  : u"$ tablemark -d \"/home/user/data\" -c 1251";
  return text;
}

void ShowUsage(const Platform& platform) {
  WriteOutputLine(platform.console, UsageText(platform.dialect));
}

void ShowLongHelp(const Platform& platform) {
  std::u16string text = UsageText(platform.dialect);
  text += u"\n\n";
  text += u"Кодовая страница текста таблиц (ничего не изменяется): ";
  text += u"\n";
  text += u"$ tablemark --detect [[-d] <\"FullPath\">]";
  text += u"\n";
  text += u"   Строка на таблицу: имя, кодовая страница по метке, кодовая страница текста";
  text += u"\n";
  text += u"   (- только ASCII или нет текста, ? нет уверенности)";
  text += u"\n\n";
  text += u"Исправление меток по тексту таблиц (вывод - запись для отмены): ";
  text += u"\n";
  text += u"$ tablemark --fix [[-d] <\"FullPath\">]";
  text += u"\n";
  text += u"Восстановление меток по записи (- стандартный ввод): ";
  text += u"\n";
  text += u"$ tablemark --restore <FILE> [[-d] <\"FullPath\">]";
  WriteOutputLine(platform.console, text);
}

void ShowVersion(const Platform& platform) {
  WriteOutputLine(platform.console, u"tablemark " TABLEMARK_VERSION);
}

}  // namespace tablemark
