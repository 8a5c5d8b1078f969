"""Text for tables whose code page detection must name."""

# Prose long enough that its code page is sure, in whatever set a case writes it.
RUSSIAN = (
    "Старый город просыпался медленно. Сначала на рыночной площади появлялись торговцы с "
    "тележками, потом открывались булочные, и запах свежего хлеба тянулся по узким улицам до "
    "самой реки. Дворники мели тротуары, почтальон разносил газеты, а из окон второго этажа "
    "доносились звуки пианино: кто-то снова и снова играл одну и ту же гамму. К девяти часам "
    "улицы наполнялись людьми. Школьники бежали на уроки, чиновники спешили в контору, и только "
    "старики на скамейке у фонтана никуда не торопились. Они обсуждали погоду, цены на картофель "
    "и последние новости из столицы, которые, как всегда, приходили с опозданием. Ярмарка "
    "обещала быть шумной: ждали гостей из соседних деревень, музыкантов и даже цирк с медведем. "
    "Жители готовились к празднику всю неделю, чистили окна, красили заборы и пекли пироги. ") * 3
GERMAN = (
    "Die alte Mühle am Fluss wurde im letzten Frühjahr gründlich renoviert. Über zwei "
    "Jahrzehnte hatte sie leer gestanden, bis eine junge Familie aus München das Gebäude kaufte "
    "und in ein kleines Café mit Bäckerei verwandelte. Heute kommen jeden Sonntag Radfahrer, "
    "Wanderer und Großeltern mit ihren Enkeln, um Käsekuchen zu essen und den schönen Blick über "
    "die Wiesen zu genießen. Der Müller, der früher hier arbeitete, erzählt gern Geschichten über "
    "strenge Winter, große Überschwemmungen und die Zeit, als das Mehl noch mit Pferdewagen in "
    "die Stadt gebracht wurde. ") * 3
ASCII = b"Order 17 paid in full, see the ledger. " * 8


def sentences(text, encoding):
    """Memos of a sentence each: no memo is cut short where it is read."""
    return [s.encode(encoding) for s in text.split(". ")]
